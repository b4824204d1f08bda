// SPDX-License-Identifier: Zlib
// build.ninja that regenerates itself (--tov-regenerate), as generated build
// files of other tools do: Ninja runs the same generation again before the
// build when a scanned folder gains or loses a file, or a rule file or the
// endings file changes, then goes on with the new graph.
#pragma once

#include "zu_sys.h"

// With --tov-regenerate, writes this run's arguments into the intermediate
// folder and the statement that rebuilds build.ninja from them.
void write_regenerate_statement(ZuFile* file, const char* working_dir,
                                const char* intermediate_dir);
