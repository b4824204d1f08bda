// SPDX-License-Identifier: Zlib
// The archive set's records, shared by the set and the lookups.
#pragma once

#include "format.h"
#include "hash_table.h"
#include "tov/tov_archive.h"
#include "zu_array.h"
#include "zu_string.h"

struct LoadedArchive {
  ZuMappedFile* mapping;
  ZuString path;  // as loaded: the archive's identity in the set
  const u8* base;
  ArchiveTableView names;  // no slots when the table is missing or truncated
  ArchiveTableView directories;
  u64 size;  // bytes mapped: tables that do not fit are left out at load
  // Kept for the lookups, which hand both out or check against them per name.
  const char* path_text;  // zu_string_text(&path)
  // An entry at offset kArchiveEntriesOffset + o, for every o below this,
  // lies wholly in the file: size - kArchiveEntriesOffset - 55, or 0 when
  // no entry can be trusted to (every lookup then misses). Below that
  // offset is the header: a free slot's value, 0, names no entry, so a
  // hash of 0, which matches free slots, finds nothing. An archive that
  // passes verification also has every name and all file data below the
  // limit itself (two hash tables of 80 bytes or more follow them), so the
  // lookups hold records to it: one bound for both tests.
  u64 entry_limit;
};

struct TovArchiveSet {
  ZuArray<LoadedArchive*> archives;  // highest precedence first
  // archives.data[0], or an archive that holds nothing when the set is
  // empty: a lookup starts there without testing the count first.
  const LoadedArchive* first;
  ZuArray<ZuString> saved_order;
};

inline const ArchiveHeader* archive_header(const LoadedArchive* archive) {
  return (const ArchiveHeader*)archive->base;
}
