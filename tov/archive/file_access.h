// SPDX-License-Identifier: Zlib
// Finding entries in the set's archives; shared by the lookups and the
// directory index.
#pragma once

#include "archive_set.h"

// Whether offset, a slot's or an item's value, names an entry that lies
// wholly in the file. The answer depends only on the value, not on the
// entry's bytes, so a loop of lookups need not wait for them. (An offset
// inside the header, which only an archive that fails verification holds,
// reads the header as an entry: inside the file, and its record is held
// inside too.)
inline bool archive_is_entry(const LoadedArchive* archive, u64 offset) {
  return offset < archive->entries_end;
}

// The entry at offset, or null when there is none.
inline const ArchiveEntry* archive_entry_at(const LoadedArchive* archive, u64 offset) {
  return archive_is_entry(archive, offset) ? (const ArchiveEntry*)(archive->base + offset)
                                           : nullptr;
}

// The record of an entry that archive_is_entry accepted, its name and data held
// inside the file: in an archive that fails verification, a name offset
// past the end gives the empty name at the file's last byte (which is 0),
// and data past the end is cut there.
void archive_file_info(const LoadedArchive* archive, const ArchiveEntry* entry, TovFileInfo* out);
