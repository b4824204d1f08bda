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
  // An entry at an offset below this lies wholly in the file; 0 when no
  // entry can be trusted to: then every lookup misses. Otherwise it is
  // size - sizeof(ArchiveEntry) + 1. An archive that passes verification
  // also has every name and all file data below it (two hash tables of 80
  // bytes or more follow them), so the lookups hold records to it: one
  // bound for both tests.
  u64 entries_end;
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
