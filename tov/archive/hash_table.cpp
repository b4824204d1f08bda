// SPDX-License-Identifier: Zlib
#include "hash_table.h"

void archive_hash_table_build(const ArchiveItem* items, u64 count, ZuArray<ArchiveSlot>* slots) {
  u64 buckets = ((count / 4) * 12) / 10;
  if (buckets < 10) buckets = 10;
  for (;;) {
    if (buckets * 4 > 0xFFFFFFFFull)
      sys_exit(-1, "ERROR: Archive hash table cannot place its items (a key repeats too often)");
    zu_array_resize(slots, 0);
    zu_array_resize(slots, buckets * 4);
    bool placed = true;
    for (u64 i = 0; i < count && placed; ++i) {
      u64 key = items[i].key;
      ArchiveSlot* bucket = slots->data + (key % buckets) * 4;
      placed = false;
      for (u32 k = 0; k < 4; ++k) {
        ArchiveSlot* slot = bucket + (key + k) % 4;
        if (slot->key == 0) {
          *slot = items[i];
          placed = true;
          break;
        }
      }
    }
    if (placed) return;
    buckets = (buckets * 11) / 10;
  }
}
