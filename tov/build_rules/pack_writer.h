// SPDX-License-Identifier: Zlib
// Writing an archive from its members, for the pack and the development
// overlay.
#pragma once

#include "archive/format.h"
#include "tov/tov_build.h"
#include "zu_array.h"

// One member: a file to copy, or bytes held in memory (bytes not null).
// The member named "all.fileinfo" with neither holds the packed catalogue.
struct PackInput {
  const char* path;
  const char* name;
  u16 type;
  const void* bytes;
  u64 size;
};

// Writes the archive of inputs, in their order, into out (just created for
// writing at out_path) and puts it in place, saying so: file members take
// their content hash from catalogue (sorted by name hash), members in memory
// the hash of their bytes, and "all.fileinfo" holds packed_catalogue. Ends
// the process on a fault (a missing member, a full disk, two equal names).
void pack_write(ZuFile* out, const char* out_path, const CommandContext* context,
                const PackInput* inputs, u32 count, const ZuArray<FileInfoRecord>* catalogue,
                const ZuArray<FileInfoRecord>* packed_catalogue, u32 header_flags);
