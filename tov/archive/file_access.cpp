// SPDX-License-Identifier: Zlib
#include "file_access.h"

#include "hash_table.h"

// The name hash is zu_hash_s (XXH3, seed 0); inlined here, as the same
// header function, so a lookup does not call into the platform library per name.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

inline u64 name_hash(const char* name) { return XXH3_64bits_withSeed(name, strlen(name), 0); }

// The record of an entry whose name or data reaches past entries_end,
// held inside the file as archive_file_info says (a name or data between
// there and the end is kept as it is); only an archive that failed or
// skipped verification holds one. Out of line, but not marked cold: the compiler
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

// See archive_file_info. A loop of single lookups keeps as many in flight
// as the processor's window holds, so every instruction here costs about 2%
// of a lookup by hash: the record is copied first, then tested by branches
// that only a damaged file takes, which the processor predicts and runs
// past (clamping each field with conditional moves cost about 15% more).
// The bound is entries_end, already loaded for the slot's test, not the
// file's size (see LoadedArchive).
inline __attribute__((always_inline)) void file_info(const LoadedArchive* archive,
                                                     const ArchiveEntry* entry,
                                                     TovFileInfo* __restrict out) {
  const u8* base = archive->base;
  u64 bound = archive->entries_end;
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
  if (__builtin_expect(name >= bound || data > bound || size > bound - data, 0))
    hold_inside(archive, entry, out);
}

// Whether the name table's slot (null for none) holds an entry, and the
// entry. The 64-bit hash is trusted (see tov_archive.h): the name text is
// not compared. Tested on the slot, not on the entry's address, so that no
// test is made twice. Callers turn a hash of 0, the key of free slots,
// away before the probe can find one: games use it for "no asset".
inline __attribute__((always_inline)) bool slot_entry(const LoadedArchive* archive,
                                                      const ArchiveSlot* slot,
                                                      const ArchiveEntry** entry) {
  if (!slot || !archive_is_entry(archive, slot->value)) return false;
  *entry = (const ArchiveEntry*)(archive->base + slot->value);
  return true;
}

// Whether the archive holds hash, and its entry.
inline __attribute__((always_inline)) bool find_entry(const LoadedArchive* archive, u64 hash,
                                                      const ArchiveEntry** entry) {
  return slot_entry(archive, archive_hash_table_probe(&archive->names, hash), entry);
}

// Names looked up together. A lookup is two dependent reads at random places
// of the mapping (bucket, then entry); taking a group's buckets, then its
// entries, as one wave each lets their cache misses overlap.
constexpr u64 kGroup = 32;

// Where a batch sends a hash of 0: a bucket without free slots, which it
// cannot match.
constexpr ArchiveSlot kNoMatch[4] = {{~0ull, 0}, {~0ull, 0}, {~0ull, 0}, {~0ull, 0}};

// The bucket of hash in the archive's name table, asked for ahead; for a
// hash of 0, kNoMatch, so that the wave that probes it needs no test.
const ArchiveSlot* prefetch_bucket(const LoadedArchive* archive, u64 hash) {
  const ArchiveTableView* table = &archive->names;
  const ArchiveSlot* bucket = table->slots + archive_table_bucket_by_reciprocal(table, hash) * 4;
  __builtin_prefetch(bucket);
  __builtin_prefetch((const char*)(bucket + 4) - 1);  // buckets are not line-aligned
  return hash ? bucket : kNoMatch;
}

// Whether archive hides hash from the archives after it. Most archives
// hide nothing: one test of a flag.
inline bool hides(const LoadedArchive* archive, u64 hash) {
  return archive->hides && archive_hash_table_probe(&archive->hidden, hash);
}

// Whether one of the view's archives after the first holds hash (unless an
// archive before it hides it), and the first that does and its entry.
inline bool find_in_others(const ArchiveView* view, u64 hash, const LoadedArchive** archive,
                           const ArchiveEntry** entry) {
  for (u32 a = 1; a < view->count; ++a) {
    *archive = view->archives[a];
    if (find_entry(*archive, hash, entry)) return true;
    if (hides(*archive, hash)) return false;
  }
  return false;
}

// One key: straight down the archives, in a frame small enough that a
// caller's loop of single lookups keeps several of them in flight. The
// view is loaded once, so a reload on another thread shows this lookup the
// old archives or the new ones, never some of each.
inline bool access_one(const TovArchiveSet* set, u64 hash, TovFileInfo* out, u64 capacity) {
  if (hash == 0) return false;
  const ArchiveView* view = archive_set_view(set);
  const LoadedArchive* archive = &view->first;
  const ArchiveEntry* entry;
  if (!find_entry(archive, hash, &entry) &&
      (hides(archive, hash) || !find_in_others(view, hash, &archive, &entry)))
    return false;
  if (out && capacity) file_info(archive, entry, out);
  return true;
}

// Looks up count keys (names or hashes, by key_of); the general form of
// every access call. The first archive of the set is searched in waves; the
// few keys it misses go down the others one by one.
template <class KeyOf>
u64 access(const TovArchiveSet* set, u64 count, KeyOf key_of, TovFileInfo* __restrict out,
           u64 capacity) {
  if (count == 1) return access_one(set, key_of(0), out, capacity) ? 1 : 0;
  // A copy that cannot change: the compiler keeps its fields in registers
  // instead of reading them again after every record written. One view
  // serves the whole batch.
  const ArchiveView* view = archive_set_view(set);
  const LoadedArchive first_copy = view->first;
  const LoadedArchive* first = &first_copy;
  // Records go to next until out_end: none when there is no out. No more
  // than count can be found, so a capacity beyond it (a caller's "as many
  // as there are") makes no pointer past the records.
  TovFileInfo* next = out;
  TovFileInfo* out_end = out ? out + (capacity < count ? capacity : count) : out;
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
      const ArchiveEntry* entry = nullptr;
      if (slot_entry(first, archive_bucket_find(buckets[i], hashes[i]), &entry))
        __builtin_prefetch(entry);
      entries[i] = entry;
    }
    for (u64 i = 0; i < n; ++i) {
      const LoadedArchive* archive;
      const ArchiveEntry* entry = entries[i];
      if (entry) {
        if (next < out_end) file_info(first, entry, next++);
      } else if (hashes[i] && !hides(first, hashes[i]) &&
                 find_in_others(view, hashes[i], &archive, &entry)) {
        if (next < out_end) file_info(archive, entry, next++);
      } else {
        continue;
      }
      ++found;
    }
  }
  return found;
}

}  // namespace

bool archive_view_find(const ArchiveView* view, u64 hash, const LoadedArchive** archive,
                       const ArchiveEntry** entry) {
  if (!hash) return false;  // the key of free slots
  *archive = &view->first;
  if (find_entry(*archive, hash, entry)) {
    *archive = view->archives[0];  // the record itself, not the view's copy
    return true;
  }
  return !hides(*archive, hash) && find_in_others(view, hash, archive, entry);
}

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
