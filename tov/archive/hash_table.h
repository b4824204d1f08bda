// Building and probing the archive's stored hash tables.
#pragma once

#include "format.h"
#include "zu_array.h"

// Places items (key, value) in the given order: bucket key mod B, first free
// slot from key mod 4, wrapping; a full bucket grows B by a tenth and starts
// over. slots receives 4 x B slots.
void archive_hash_table_build(const ArchiveItem* items, u64 count, ZuArray<ArchiveSlot>* slots);

// A stored table made ready for probing when its archive is loaded. The
// bucket of a key is key mod B; a 64-bit division is the slowest step of a
// lookup whose table is in cache, so the remainder is taken by multiplying
// with a 128-bit reciprocal of B computed here once (exact for all 64-bit
// keys and divisors).
struct ArchiveTableView {
  const ArchiveSlot* slots;
  u64 buckets;
  unsigned __int128 reciprocal;
};

inline ArchiveTableView archive_table_view(const ArchiveSlot* slots, u64 slot_count) {
  ArchiveTableView view = {slots, slot_count / 4, 0};
  // Wraps to 0 for one bucket, which then yields the right remainder 0.
  if (view.buckets) view.reciprocal = ~(unsigned __int128)0 / view.buckets + 1;
  return view;
}

inline u64 archive_table_bucket(const ArchiveTableView* table, u64 key) {
  unsigned __int128 fraction = table->reciprocal * key;
  unsigned __int128 low = (unsigned __int128)(u64)fraction * table->buckets;
  unsigned __int128 high = (unsigned __int128)(u64)(fraction >> 64) * table->buckets;
  return (u64)((high + (low >> 64)) >> 64);
}

inline const ArchiveSlot* archive_table_bucket_slots(const ArchiveTableView* table, u64 key) {
  return table->slots + archive_table_bucket(table, key) * 4;
}

// The first slot of key's bucket whose key equals key, from index from
// (0 to 3) on; null when none. The four keys are compared without branches:
// where a key sits in its bucket is random, so a compare-and-branch loop
// mispredicts on most lookups.
inline const ArchiveSlot* archive_hash_table_probe(const ArchiveTableView* table, u64 key,
                                                   u32 from = 0) {
  if (table->buckets == 0) return nullptr;
  const ArchiveSlot* bucket = archive_table_bucket_slots(table, key);
  u32 equal = (u32)(bucket[0].key == key) | (u32)(bucket[1].key == key) << 1 |
              (u32)(bucket[2].key == key) << 2 | (u32)(bucket[3].key == key) << 3;
  equal &= 0xFu << from;
  return equal ? bucket + __builtin_ctz(equal) : nullptr;
}
