// SPDX-License-Identifier: Zlib
// build.ninja: the whole build of one archive.
#pragma once

#include "zu_sys.h"

// The first listed_count queued files come from a directory listing made
// just before: they exist, and are not looked up again.
void write_ninja_file(const char* const* source_paths, const char* const* archive_names,
                      u32 count, const char* out_file, const char* intermediate_dir,
                      const char* working_dir, const char* sdk_dir, const char* const* depfiles,
                      u32 depfile_count, u32 listed_count = 0);
