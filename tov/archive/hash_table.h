// Building and probing the archive's stored hash tables.
#pragma once

#include "format.h"
#include "zu_array.h"

// Places items (key, value) in the given order: bucket key mod B, first free
// slot from key mod 4, wrapping; a full bucket grows B by a tenth and starts
// over. slots receives 4 x B slots.
void archive_hash_table_build(const ArchiveItem* items, u64 count, ZuArray<ArchiveSlot>* slots);

// The first slot of key's bucket whose key equals key, from index from
// (0 to 3) on; null when none.
inline const ArchiveSlot* archive_hash_table_probe(const ArchiveSlot* slots, u64 slot_count,
                                                   u64 key, u32 from = 0) {
  u64 buckets = slot_count / 4;
  if (buckets == 0) return nullptr;
  const ArchiveSlot* bucket = slots + (key % buckets) * 4;
  for (u32 i = from; i < 4; ++i)
    if (bucket[i].key == key) return bucket + i;
  return nullptr;
}
