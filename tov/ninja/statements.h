// SPDX-License-Identifier: Zlib
// The build statements of build.ninja: one per source file and matching
// rule, then generations of statements for produced files that chain, and
// combined statements for aggregate rules.
#pragma once

#include "zu_array.h"
#include "zu_string.h"

// Writes the statements of one file. source is relative to ${wd}, or to
// ${od} with input_in_intermediate; archive_name null means source. chained
// receives outputs with chain set; members and types the packed outputs.
void write_build_statements(const char* source, const char* archive_name,
                            bool input_in_intermediate, const char* working_dir,
                            const char* intermediate_dir, ZuArray<ZuString>* chained,
                            ZuArray<ZuString>* members, ZuArray<u16>* types, ZuFile* file);

// Every statement of the build: the queued files, then what chains from them.
// A queued file that does not exist is skipped; the first listed_count come
// from a fresh directory listing and are not looked up.
void write_statement_section(ZuFile* file, const char* const* source_paths,
                             const char* const* archive_names, u32 count,
                             const char* working_dir, const char* intermediate_dir,
                             ZuArray<ZuString>* members, ZuArray<u16>* types,
                             u32 listed_count = 0);
