// Finding entries in the set's archives; shared by the lookups and the
// directory index.
#pragma once

#include "archive_set.h"

// The entry at offset, or null when it does not lie in the archive.
inline const ArchiveEntry* archive_entry_at(const LoadedArchive* archive, u64 offset) {
  if (offset >= archive->entries_end) return nullptr;
  return (const ArchiveEntry*)(archive->base + offset);
}

void archive_file_info(const LoadedArchive* archive, const ArchiveEntry* entry, TovFileInfo* out);
