#include "invocations.h"

u32 command_pack(CommandContext*) { sys_exit(-1, "ERROR: 'tov' is not built yet"); }
u32 command_fileinfo(CommandContext*) { sys_exit(-1, "ERROR: 'fileinfo' is not built yet"); }
u32 command_cxx(CommandContext*) { sys_exit(-1, "ERROR: 'cxx' is not built yet"); }
