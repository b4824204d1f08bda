// SPDX-License-Identifier: Zlib
// Finding entries in the set's archives; shared by the lookups and the
// directory index.
#pragma once

#include "archive_set.h"

// The entry at offset, or null when none lies wholly in the file there.
// The answer depends only on the slot, not on the entry's bytes, so a loop
// of lookups need not wait for them. (An offset inside the header, which
// only an archive that fails verification holds, reads the header as an
// entry: inside the file, and its record is held inside too.)
inline const ArchiveEntry* archive_entry_at(const LoadedArchive* archive, u64 offset) {
  if (offset >= archive->entries_end) return nullptr;
  return (const ArchiveEntry*)(archive->base + offset);
}

// The record of an entry found below entries_end, its name and data held
// inside the file: in an archive that fails verification, a name offset
// past the end gives the empty name at the file's last byte (which is 0),
// and data past the end is cut there.
void archive_file_info(const LoadedArchive* archive, const ArchiveEntry* entry, TovFileInfo* out);
