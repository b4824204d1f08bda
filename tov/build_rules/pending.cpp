#include "invocations.h"

u32 command_cxx(CommandContext*) { sys_exit(-1, "ERROR: 'cxx' is not built yet"); }
