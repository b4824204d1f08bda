// SPDX-License-Identifier: Zlib
#include "rule_copies.h"

#include "build_rules/development_pack.h"
#include "remote_rules.h"
#include "zu_string.h"

namespace {

// In the pack's rule, for --tov-overlay: the option, and restat, since a
// step that writes only the overlay leaves the archive untouched and Ninja
// must not take it for out of date then.
void development_rewrite_line(const char* line, u64 length, const char* rule, ZuString* out) {
  const char kCommand[] = "  command = ";
  if (!sys_strequal(rule, "tov") || length < sizeof(kCommand) - 1 ||
      strncmp(line, kCommand, sizeof(kCommand) - 1) != 0)
    return;
  zu_string_add_text(out, " --tov-overlay\n  restat = 1");
}

}  // namespace

void rule_copies_rewrite(const char* path) {
  bool remote = remote_rules_requested();
  bool development = development_pack_requested();
  if (!remote && !development) return;
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) sys_exit(-1, "ERROR: Couldn't read the rule file copy '%s'", path);
  u64 size = filesystem_file_size(file);
  char* text = (char*)sys_malloc(size + 1);
  bool ok = filesystem_file_read(file, text, size) == size;
  filesystem_file_destroy(file);
  text[size] = 0;
  ZuString out;
  zu_string_init_empty(&out);
  char rule[256] = "";
  for (u64 at = 0; ok && at < size;) {
    const char* line = text + at;
    const char* end = (const char*)memchr(line, '\n', size - at);
    u64 length = end ? (u64)(end - line) : size - at;
    if (length > 5 && strncmp(line, "rule ", 5) == 0) {
      sys_snprintf(rule, sizeof(rule), "%.*s", (int)(length - 5), line + 5);
    } else if (length > 0 && line[0] != ' ' && line[0] != '#') {
      rule[0] = 0;  // a top-level line ends the rule block
    }
    if (remote)
      remote_rules_rewrite_line(line, length, rule, &out);
    else
      zu_string_add_range(&out, line, line + length);
    if (development) development_rewrite_line(line, length, rule, &out);
    if (end) zu_string_add_char(&out, '\n');
    at += length + (end ? 1 : 0);
  }
  sys_free(text);
  file = ok ? filesystem_file_create(path, 1, 0) : nullptr;
  if (!file ||
      filesystem_file_write(file, zu_string_text(&out), zu_string_size(&out)) !=
          zu_string_size(&out) ||
      !filesystem_file_destroy(file))
    sys_exit(-1, "ERROR: Couldn't write the rule file copy '%s'", path);
  zu_string_destroy(&out);
}
