// SPDX-License-Identifier: Zlib
// The module's face towards its host: the module contract and the tool
// entry.
#pragma once

#include "zu_sys.h"

extern "C" {
ZU_EXPORT void zu_init(void* state, u8 reloaded, const char* const** deps);
ZU_EXPORT void* zu_fini(u8 reloading);
// Runs the tool once: one build command with --tov-command, else writes
// build.ninja. Returns the command's result, 0 after writing the file.
ZU_EXPORT u32 tov_begin(void);
}

// The built-in build rules and commands, registered by zu_init.
void tov_register_builtins(void);
