// SPDX-License-Identifier: Zlib
// A module that registers options of its own, built twice from this one
// source (mod_opts_1, mod_opts_2) so that both register "shared-option" from
// the same source place.
#include "command_option.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

ZU_COMMAND_OPTION(g_shared_option, 0, "shared-option", "Registered by both modules", kOptionOne,
                  kOptionString);

// Lets the test look into this module's own registry.
EXPORT CommandOption* module_option_head(void) { return command_option_head(); }
EXPORT CommandOption* module_shared_option(void) { return g_shared_option; }
EXPORT const char* module_shared_value(void) {
  return command_option_is_set(&g_shared_option)
             ? zu_string_text(command_option_value(&g_shared_option, 0))
             : nullptr;
}
