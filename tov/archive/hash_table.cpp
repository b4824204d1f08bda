// SPDX-License-Identifier: Zlib
#include "hash_table.h"

namespace {

// Whether every item finds a free slot among buckets buckets: the placing
// fails exactly when a bucket is asked for a fifth key, so a count per
// bucket (a byte where a bucket takes 64) tells it. A key of 0 marks a free
// slot, so placing one takes up no room, but it still needs one.
bool fits(const ArchiveItem* items, u64 count, u64 buckets, ZuArray<u8>* fill) {
  zu_array_resize(fill, 0);
  zu_array_resize(fill, buckets);
  for (u64 i = 0; i < count; ++i) {
    u64 key = items[i].key;
    u8* taken = fill->data + key % buckets;
    if (*taken == 4) return false;
    if (key != 0) ++*taken;
  }
  return true;
}

}  // namespace

void archive_hash_table_build(const ArchiveItem* items, u64 count, ZuArray<ArchiveSlot>* slots) {
  u64 buckets = ((count / 4) * 12) / 10;
  if (buckets < 10) buckets = 10;
  ZuArray<u8> fill = {};
  for (;;) {
    if (buckets * 4 > 0xFFFFFFFFull)
      sys_exit(-1, "ERROR: Archive hash table cannot place its items (a key repeats too often)");
    if (fits(items, count, buckets, &fill)) break;
    buckets = (buckets * 11) / 10;
  }
  zu_array_destroy(&fill);
  zu_array_resize(slots, 0);
  zu_array_resize(slots, buckets * 4);
  for (u64 i = 0; i < count; ++i) {
    u64 key = items[i].key;
    ArchiveSlot* bucket = slots->data + (key % buckets) * 4;
    for (u32 k = 0; k < 4; ++k) {
      ArchiveSlot* slot = bucket + (key + k) % 4;
      if (slot->key == 0) {
        *slot = items[i];
        break;
      }
    }
  }
}
