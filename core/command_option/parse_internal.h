// SPDX-License-Identifier: Zlib
// Steps of the parser that live in their own files.
#pragma once

#include "command_option.h"

// Changes into the working-dir option's folder, once per process.
void command_option_apply_working_dir(CommandOptionParseState* state);
// Reads every argument file named by the options, each once per parse.
void command_option_read_argument_files(u8 lenient, CommandOptionParseState* state);
// Frees what a parse that ended through an exit handler left behind.
void command_option_release_abandoned(void);
