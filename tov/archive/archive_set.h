// The archive set's records, shared by the set and the lookups.
#pragma once

#include "format.h"
#include "tov/tov_archive.h"
#include "zu_array.h"
#include "zu_string.h"

struct LoadedArchive {
  ZuMappedFile* mapping;
  ZuString path;  // as loaded: the archive's identity in the set
  const u8* base;
  const ArchiveSlot* name_slots;
  u32 name_slot_count;
  const ArchiveSlot* dir_slots;
  u32 dir_slot_count;
  u64 size;  // bytes mapped: tables that do not fit are left out at load
};

struct TovArchiveSet {
  ZuArray<LoadedArchive*> archives;  // highest precedence first
  ZuArray<ZuString> saved_order;
};

inline const ArchiveHeader* archive_header(const LoadedArchive* archive) {
  return (const ArchiveHeader*)archive->base;
}
