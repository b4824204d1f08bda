// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "archive/hash_table.h"

TEST(ArchiveHashTable, FullBucketGrowsByATenthAndSlotsStartAtKeyModFour) {
  // Five keys in bucket 0 of 10 buckets: the table must grow to 11.
  std::vector<ArchiveItem> items;
  for (u64 i = 1; i <= 5; ++i) items.push_back({i * 10 * 11 + 10 * 0, i});
  items[4].key = 10 * 7;  // 70: bucket 0 of 10, bucket 4 of 11
  ZuArray<ArchiveSlot> slots = {};
  archive_hash_table_build(items.data(), items.size(), &slots);
  EXPECT_EQ(slots.count, 44u);
  // Key 110 (bucket 0 of 11, start 110 mod 4 = 2) sits in slot 2.
  EXPECT_EQ(slots.data[2].key, 110u);
  // Colliding keys take the next free slot, wrapping inside the bucket.
  std::vector<ArchiveItem> same = {{3, 1}, {43, 2}};  // both bucket 3 of 10, start 3
  archive_hash_table_build(same.data(), same.size(), &slots);
  EXPECT_EQ(slots.data[12 + 3].key, 3u);
  EXPECT_EQ(slots.data[12 + 0].key, 43u);
  ArchiveTableView view = archive_table_view(slots.data, slots.count);
  const ArchiveSlot* first = archive_hash_table_probe(&view, 43);
  EXPECT_EQ(first->value, 2u);
  zu_array_destroy(&slots);
}

TEST(ArchiveHashTable, BucketByReciprocalIsTheRemainder) {
  std::vector<u64> counts = {
      1, 2, 3, 7, 10, 11, 3000, 65536, 999983, 0xFFFFFFFFull / 4, 0x3FFFFFFFull};
  std::vector<u64> keys = {
      0, 1, 2, ~0ull, ~0ull - 1, 1ull << 63, (1ull << 63) - 1, 0x9E3779B97F4A7C15ull};
  u64 state = 88172645463325252ull;  // xorshift: many keys of all widths
  for (int i = 0; i < 2000; ++i) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    keys.push_back(state >> (i % 64));
  }
  for (u64 buckets : counts) {
    ArchiveTableView view = archive_table_view(nullptr, buckets * 4);
    for (u64 key : keys)
      ASSERT_EQ(archive_table_bucket_by_reciprocal(&view, key), key % buckets)
          << buckets << " " << key;
    // Keys next to multiples of the bucket count, where a rounding error would show.
    for (u64 m = 1; m < 4; ++m)
      for (u64 key : std::vector<u64>{buckets * m - 1, buckets * m, buckets * m + 1,
                                      ~0ull / buckets * buckets})
        ASSERT_EQ(archive_table_bucket_by_reciprocal(&view, key), key % buckets)
            << buckets << " " << key;
  }
}

TEST(ArchiveHashTable, ProbeComparesWholeKeysAndTakesTheFirstInSlotOrder) {
  // One bucket, laid out by hand: keys that share one 32-bit half with the
  // wanted key must not match, and of two equal keys the earlier slot wins.
  const u64 key = 0x1234567800000010ull;
  for (u32 at = 0; at < 4; ++at) {
    ArchiveSlot bucket[4] = {{0x9999999900000010ull, 1},
                             {0x12345678ffffffffull, 2},
                             {0x0000000000000010ull, 3},
                             {0x1234567800000011ull, 4}};
    EXPECT_EQ(archive_bucket_matches(bucket, key), 0u);
    bucket[at] = {key, 10 + at};
    EXPECT_EQ(archive_bucket_matches(bucket, key), 1u << (4 * at));
    if (at < 3) bucket[3] = {key, 99};
    ArchiveTableView view = archive_table_view(bucket, 4);
    const ArchiveSlot* found = archive_hash_table_probe(&view, key);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->value, 10u + at);
  }
  // A missing or empty table reads as one bucket of free slots.
  for (u64 slot_count : {0ull, 3ull}) {
    ArchiveTableView none = archive_table_view(nullptr, slot_count);
    EXPECT_EQ(archive_hash_table_probe(&none, key), nullptr);
  }
}
