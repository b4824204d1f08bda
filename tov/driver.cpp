#include "command_option.h"
#include "tov_entry.h"

ZU_COMMAND_OPTION(g_tov_working_dir, 0, "tov-working-dir",
                  "Sets working directory. All files/directories (except out file) should be "
                  "relative to this",
                  kOptionOne, kOptionString);

void tov_register_builtins(void) {}

u32 tov_begin(void) {
  if (!command_option_is_set(&g_tov_working_dir)) sys_exit(-1, "No working dir set");
  sys_exit(-1, "ERROR: generation is not built yet");
}
