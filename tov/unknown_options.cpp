// SPDX-License-Identifier: Zlib
#include "unknown_options.h"

#include "command_option.h"
#include "zu_string.h"

namespace {

// Edits (insert, delete, replace) from a to b; names are short.
u64 edit_distance(const char* a, const char* b) {
  u64 b_length = strlen(b);
  if (b_length > 127) return ~0ull;
  u64 row[128];
  for (u64 j = 0; j <= b_length; ++j) row[j] = j;
  for (u64 i = 1; a[i - 1]; ++i) {
    u64 diagonal = row[0];
    row[0] = i;
    for (u64 j = 1; j <= b_length; ++j) {
      u64 above = row[j];
      u64 best = diagonal + (a[i - 1] != b[j - 1]);
      if (above + 1 < best) best = above + 1;
      if (row[j - 1] + 1 < best) best = row[j - 1] + 1;
      row[j] = best;
      diagonal = above;
    }
  }
  return row[b_length];
}

[[noreturn]] void refuse(const char* name) {
  // "--tov-dir=assets/": values follow their option after a blank.
  const char* equals = sys_strchr(name, '=');
  if (equals) {
    ZuString option;
    zu_string_init_text(&option, name, equals);
    if (command_option_find(zu_string_text(&option)))
      sys_exit(-1, "ERROR: Unknown option '--%s' (give the value after a blank: '--%s %s'), aborting...",
               name, zu_string_text(&option), equals + 1);
    zu_string_destroy(&option);
  }
  u64 best = ~0ull;
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    if (!sys_strbegin(option->long_name, "tov-")) continue;
    u64 distance = edit_distance(name, option->long_name);
    if (distance < best) best = distance;
  }
  ZuString closest;
  zu_string_init_empty(&closest);
  u64 found = 0;
  if (best <= 3) {
    for (CommandOption* option = command_option_head(); option; option = option->next) {
      if (!sys_strbegin(option->long_name, "tov-") || edit_distance(name, option->long_name) != best)
        continue;
      zu_string_add_text(&closest, found++ ? "', '--" : " (did you mean '--");
      zu_string_add_text(&closest, option->long_name);
    }
    zu_string_add_text(&closest, "'?)");
  }
  sys_exit(-1, "ERROR: Unknown option '--%s'%s, aborting...", name, zu_string_text(&closest));
}

}  // namespace

void check_unknown_options(void) {
  for (u64 i = 0; i < command_option_skipped_count(); ++i) {
    const char* name = command_option_skipped(i);
    if (sys_strbegin(name, "tov-") && !command_option_find(name)) refuse(name);
  }
}
