// SPDX-License-Identifier: Zlib
#include "endings_file.h"

#include "build_rule_table.h"
#include "build_rules/invocations.h"
#include "build_rules/read_file.h"
#include "command_option.h"

ZU_COMMAND_OPTION(g_tov_endings, 0, "tov-endings",
                  "File mapping file endings to rules, one 'ENDING RULE TYPE [OUTPUT_ENDING]' a "
                  "line ('*' for every ending no rule knows, '#' starts a comment)",
                  kOptionOne, kOptionString);

namespace {

struct Line {
  const char* path;
  u32 number;
};

[[noreturn]] void bad_line(const Line* line, const char* why, const char* field) {
  sys_exit(-1, "ERROR: %s:%u: %s '%s', aborting...", line->path, line->number, why, field);
}

// Whether a Ninja rule of this name is known: a registered command, or a
// "rule NAME" line in one of the rule files.
bool rule_known(const char* name, const char* sdk_dir) {
  if (find_rule_invocation(zu_hash(name, strlen(name)))) return true;
  char wanted[256];
  sys_snprintf(wanted, sizeof(wanted), "rule %s\n", name);
  // The rule files' option belongs to the build file's writer.
  CommandOption* rule_files = command_option_find("tov-rule-file");
  u64 count = rule_files ? command_option_count(rule_files->handle) : 0;
  for (u64 i = 0; i < count; ++i) {
    char path[2048];
    sys_snprintf(path, sizeof(path), "%s%s", sdk_dir,
                 zu_string_text(command_option_value(rule_files->handle, i)));
    ZuArray<u8> text = {};
    bool found = read_whole_file(path, &text);
    if (found) {
      zu_array_push(&text, (u8)0);
      const char* at = sys_strstr((const char*)text.data, wanted);
      found = at && (at == (const char*)text.data || at[-1] == '\n');
    }
    zu_array_destroy(&text);
    if (found) return true;
  }
  return false;
}

void register_line(const Line* line, char** fields, u32 count, const char* sdk_dir) {
  if (count < 3 || count > 4)
    bad_line(line, "expected 'ENDING RULE TYPE [OUTPUT_ENDING]', found", fields[0]);
  const char* ending = fields[0];
  bool every = sys_strequal(ending, "*");
  if (!every && (ending[0] != '.' || ending[1] == 0 || sys_strchr(ending, '/')))
    bad_line(line, "an ending starts with '.' (or is '*'), not", ending);
  // Two rules for one ending would write two statements for one output.
  for (u32 i = 0; !every && i < build_rule_table()->count; ++i)
    if (sys_strequal(zu_string_text(&build_rule_table()->data[i].ending), ending))
      bad_line(line, "a rule (of a module or an earlier line) already builds the ending", ending);
  if (!rule_known(fields[1], sdk_dir))
    bad_line(line, "no command or rule file rule is named", fields[1]);
  const char* end;
  u64 type = sys_atou(fields[2], 10, &end);
  if (*end || end == fields[2] || type > 0xFFFF)
    bad_line(line, "a type is a number from 0 to 65535, not", fields[2]);
  const char* output = count == 4 ? fields[3] : every ? "" : ending;
  if (count == 4 && (every || output[0] != '.'))
    bad_line(line, every ? "the '*' line keeps each file's name; no output ending" :
                           "an output ending starts with '.', not", output);
  BuildRule rule;
  build_rule_make(&rule, every ? "" : ending, fields[1], output, (u16)type);
  if (every)
    build_rule_set_fallback(&rule);
  else
    tov_register_build_rule(&rule, 1);
  zu_destroy(&rule);
}

}  // namespace

void endings_file_register(const char* working_dir, const char* sdk_dir) {
  if (!command_option_is_set(&g_tov_endings)) return;
  const char* given = zu_string_text(command_option_value(&g_tov_endings, 0));
  char path[2048];
  sys_snprintf(path, sizeof(path), "%s%s", given[0] == '/' ? "" : working_dir, given);
  ZuArray<u8> text = {};
  if (!read_whole_file(path, &text))
    sys_exit(-1, "ERROR: Couldn't read the endings file '%s', aborting...", path);
  zu_array_push(&text, (u8)0);
  Line line = {given, 0};
  for (char* at = (char*)text.data; *at;) {
    char* next = sys_strchr(at, '\n');
    if (next) *next = 0;
    ++line.number;
    char* comment = sys_strchr(at, '#');
    if (comment) *comment = 0;
    char* fields[5];
    u32 count = 0;
    for (char* field = at; *field;) {
      while (*field == ' ' || *field == '\t' || *field == '\r') *field++ = 0;
      if (!*field) break;
      if (count < 5) fields[count] = field;
      ++count;
      while (*field && *field != ' ' && *field != '\t' && *field != '\r') ++field;
    }
    if (count > 0) register_line(&line, fields, count > 5 ? 5 : count, sdk_dir);
    if (!next) break;
    at = next + 1;
  }
  zu_array_destroy(&text);
}
