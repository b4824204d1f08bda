// SPDX-License-Identifier: Zlib
// --help and --version: answered before any setting is checked, so they work
// with nothing else on the command line.
#include "help_version.h"

#include "command_option.h"
#include "tov_version.h"

ZU_COMMAND_OPTION(g_help, 0, "help", "Prints every option with its description, then exits",
                  kOptionFlag, kOptionNone);
ZU_COMMAND_OPTION(g_version, 0, "version", "Prints the version of tov, then exits", kOptionFlag,
                  kOptionNone);

bool tov_answer_help_or_version(void) {
  if (command_option_is_set(&g_version)) {
    sys_printf("tov %s\n", TOV_VERSION);
    return true;
  }
  if (!command_option_is_set(&g_help)) return false;
  sys_printf(
      "usage: tov --tov-working-dir DIR --tov-sdk-dir DIR --tov-intermediate-dir DIR\n"
      "           --tov-out NAME.tov [--tov-dir DIR/ ...] [--tov-rule-file FILE ...] [OPTION ...]\n"
      "Writes build.ninja for an asset tree; Ninja then calls tov back with\n"
      "--tov-command NAME for every step and packs a .tov archive (man tov).\n\n");
  command_option_print_help();
  return true;
}
