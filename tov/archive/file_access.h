// Finding entries in the set's archives; shared by the lookups and the
// directory index.
#pragma once

#include "archive_set.h"

// The entry at offset, or null unless it can be handed out as it is: it lies
// in the file at an 8-byte boundary (the entries' own alignment; the mapping
// starts on a page), and its name and data lie in the file too. Offset 0, the
// value of a free slot, is below the entries: a key of 0 never finds one.
// Branch-free but for the answer, so a loop of lookups keeps its pace.
inline const ArchiveEntry* archive_entry_at(const LoadedArchive* archive, u64 offset) {
  if ((offset - kArchiveEntriesOffset >= archive->entry_span) | (offset & 7)) return nullptr;
  const ArchiveEntry* entry = (const ArchiveEntry*)(archive->base + offset);
  u64 size = archive->size;
  if ((entry->name >= size) | (entry->data > size) | (entry->size > size - entry->data))
    return nullptr;
  return entry;
}

void archive_file_info(const LoadedArchive* archive, const ArchiveEntry* entry, TovFileInfo* out);
