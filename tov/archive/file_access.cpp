// SPDX-License-Identifier: Zlib
#include "file_access.h"

#include "hash_table.h"

// The name hash is zu_hash_s (XXH3, seed 0); inlined here, as the same
// header function, so a lookup does not call into the platform library per name.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

inline u64 name_hash(const char* name) { return XXH3_64bits_withSeed(name, strlen(name), 0); }

// The record of an entry that points past its file's end, held inside as
// archive_file_info says; only an archive that failed or skipped
// verification holds one. Out of line, but not marked cold: the compiler
// would then move the whole found path out of line with it.
__attribute__((noinline)) void hold_inside(const LoadedArchive* archive, const ArchiveEntry* entry,
                                           TovFileInfo* out) {
  u64 file_size = archive->size;
  u64 name = entry->name < file_size ? entry->name : file_size - 1;
  u64 data = entry->data < file_size ? entry->data : file_size;
  u64 room = file_size - data;
  out->name = (const char*)archive->base + name;
  out->size = entry->size < room ? entry->size : room;
  out->data = archive->base + data;
}

// See archive_file_info. A loop of single lookups keeps several in flight,
// and what waits on the entry's bytes decides how many: the record is
// copied first, then tested by branches that only a damaged file takes,
// which the processor predicts and runs past (clamping each field with
// conditional moves cost a lookup by hash about 15% more).
inline __attribute__((always_inline)) void file_info(const LoadedArchive* archive,
                                                     const ArchiveEntry* entry, TovFileInfo* out) {
  const u8* base = archive->base;
  // Found below entries_end, so the file is this long (see LoadedArchive):
  // one field fewer to read.
  u64 file_size = archive->entries_end + (sizeof(ArchiveEntry) - 1);
  u64 name = entry->name, data = entry->data, size = entry->size;
  // Added as integers: an offset past the end makes no pointer before it is
  // held inside.
  out->name = (const char*)((uintptr_t)base + name);
  out->archive = archive->path_text;
  // Hash to size lie alike in both: one copy, not six.
  static_assert(offsetof(TovFileInfo, hash) == offsetof(ArchiveEntry, name_hash) &&
                    offsetof(TovFileInfo, data) == offsetof(ArchiveEntry, data) &&
                    offsetof(TovFileInfo, type) == offsetof(ArchiveEntry, type) &&
                    offsetof(TovFileInfo, reserved) == offsetof(ArchiveEntry, reserved) &&
                    offsetof(TovFileInfo, checksum) == offsetof(ArchiveEntry, content_hash) &&
                    offsetof(TovFileInfo, size) == offsetof(ArchiveEntry, size),
                "a file's record copies its entry's fields from hash to size");
  memcpy(&out->hash, (const u8*)entry + offsetof(ArchiveEntry, name_hash),
         offsetof(ArchiveEntry, data) - offsetof(ArchiveEntry, name_hash));
  out->data = (const void*)((uintptr_t)base + data);
  if (__builtin_expect(name >= file_size || data > file_size || size > file_size - data, 0))
    hold_inside(archive, entry, out);
}

// The entry of the name table's slot, or null. The 64-bit hash is trusted
// (see tov_archive.h): the name text is not compared.
inline const ArchiveEntry* entry_of(const LoadedArchive* archive, const ArchiveSlot* slot) {
  return slot ? archive_entry_at(archive, slot->value) : nullptr;
}

// Whether the archive holds hash, and its entry. Tested on the slot, not on
// the entry's address, so that no test is made twice.
inline __attribute__((always_inline)) bool find_entry(const LoadedArchive* archive, u64 hash,
                                                      const ArchiveEntry** entry) {
  const ArchiveSlot* slot = archive_hash_table_probe(&archive->names, hash);
  if (!slot || slot->value >= archive->entries_end) return false;
  *entry = (const ArchiveEntry*)(archive->base + slot->value);
  return true;
}

// Names looked up together. A lookup is two dependent reads at random places
// of the mapping (bucket, then entry); taking a group's buckets, then its
// entries, as one wave each lets their cache misses overlap.
constexpr u64 kGroup = 32;

// The bucket of hash in the archive's name table, asked for ahead.
const ArchiveSlot* prefetch_bucket(const LoadedArchive* archive, u64 hash) {
  const ArchiveTableView* table = &archive->names;
  const ArchiveSlot* bucket = table->slots + archive_table_bucket_by_reciprocal(table, hash) * 4;
  __builtin_prefetch(bucket);
  __builtin_prefetch((const char*)(bucket + 4) - 1);  // buckets are not line-aligned
  return bucket;
}

// Whether one of the set's archives from index from on holds hash, and the
// first that does and its entry. A hash of 0, the key of a free slot, finds
// none: games use 0 for "no asset".
inline bool find_in_archives(const TovArchiveSet* set, u32 from, u64 hash,
                             const LoadedArchive** archive, const ArchiveEntry** entry) {
  if (hash == 0) return false;
  for (u32 a = from; a < set->archives.count; ++a) {
    *archive = set->archives.data[a];
    if (find_entry(*archive, hash, entry)) return true;
  }
  return false;
}

// One key: straight down the archives, in a frame small enough that a
// caller's loop of single lookups keeps several of them in flight.
inline bool access_one(const TovArchiveSet* set, u64 hash, TovFileInfo* out, u64 capacity) {
  const LoadedArchive* archive;
  const ArchiveEntry* entry;
  if (!find_in_archives(set, 0, hash, &archive, &entry)) return false;
  if (out && capacity) file_info(archive, entry, out);
  return true;
}

// Looks up count keys (names or hashes, by key_of); the general form of
// every access call. The first archive of the set is searched in waves; the
// few keys it misses go down the others one by one.
template <class KeyOf>
u64 access(const TovArchiveSet* set, u64 count, KeyOf key_of, TovFileInfo* out, u64 capacity) {
  if (count == 1) return access_one(set, key_of(0), out, capacity) ? 1 : 0;
  if (set->archives.count == 0) return 0;
  const LoadedArchive* first = set->archives.data[0];
  u64 found = 0;
  u64 hashes[kGroup];
  const ArchiveSlot* buckets[kGroup];
  const ArchiveEntry* entries[kGroup];
  for (u64 start = 0; start < count; start += kGroup) {
    u64 n = count - start < kGroup ? count - start : kGroup;
    for (u64 i = 0; i < n; ++i) {
      hashes[i] = key_of(start + i);
      buckets[i] = prefetch_bucket(first, hashes[i]);
    }
    for (u64 i = 0; i < n; ++i) {
      entries[i] =
          hashes[i] ? entry_of(first, archive_bucket_find(buckets[i], hashes[i])) : nullptr;
      if (entries[i]) __builtin_prefetch(entries[i]);
    }
    for (u64 i = 0; i < n; ++i) {
      const LoadedArchive* archive = first;
      const ArchiveEntry* entry = entries[i];
      if (!entry && !find_in_archives(set, 1, hashes[i], &archive, &entry)) continue;
      if (out && found < capacity) file_info(archive, entry, out + found);
      ++found;
    }
  }
  return found;
}

}  // namespace

void archive_file_info(const LoadedArchive* archive, const ArchiveEntry* entry, TovFileInfo* out) {
  file_info(archive, entry, out);
}

u64 tov_archive_access_files(const TovArchiveSet* set, const char* const* names, u64 count,
                             TovFileInfo* out, u64 capacity) {
  return access(
      set, count,
      [&](u64 i) {
        if (i + kGroup < count) __builtin_prefetch(names[i + kGroup]);
        return name_hash(names[i]);
      },
      out, capacity);
}

u64 tov_archive_access_files_by_hash_stride(const TovArchiveSet* set, const u64* first, u64 count,
                                            u64 stride, TovFileInfo* out, u64 capacity) {
  return access(
      set, count,
      [&](u64 i) {
        u64 hash;
        memcpy(&hash, (const u8*)first + i * stride, sizeof(hash));
        return hash;
      },
      out, capacity);
}

u64 tov_archive_access_files_by_hash(const TovArchiveSet* set, const u64* hashes, u64 count,
                                     TovFileInfo* out, u64 capacity) {
  return tov_archive_access_files_by_hash_stride(set, hashes, count, sizeof(u64), out, capacity);
}

bool tov_archive_access_file(const TovArchiveSet* set, const char* name, TovFileInfo* out) {
  return access_one(set, name_hash(name), out, 1);
}

bool tov_archive_access_file_by_hash(const TovArchiveSet* set, u64 hash, TovFileInfo* out) {
  return access_one(set, hash, out, 1);
}

bool tov_access_stringtable(const TovFileInfo* info, TovStringTable* table) {
  if (info->type != 6 || info->size < sizeof(u64)) return false;
  const u8* data = (const u8*)info->data;
  u64 count;
  memcpy(&count, data, sizeof(count));
  if (count > (info->size - sizeof(u64)) / sizeof(u64)) return false;  // not a string table
  if (count == 0) {
    *table = {0, nullptr, nullptr};
  } else {
    *table = {count, (const TovUnalignedU64*)(data + sizeof(u64)),
              (const char*)(data + sizeof(u64) + count * sizeof(u64))};
  }
  return true;
}

bool tov_archive_access_stringtable(const TovArchiveSet* set, const char* name,
                                    TovStringTable* table, TovFileInfo* info) {
  TovFileInfo found;
  if (!tov_archive_access_file(set, name, &found)) return false;
  if (info) *info = found;
  return tov_access_stringtable(&found, table);
}
