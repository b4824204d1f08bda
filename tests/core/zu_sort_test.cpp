// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "zu_sort.h"

namespace {
struct Record24 {
  u64 key;
  u64 a, b;
};
}  // namespace

TEST(ZuSort, UnsignedKeysAscendingAndSmallRanges) {
  ZuArray<Record24> records = {};
  zu_sort_array(&records);  // empty
  zu_array_push(&records, Record24{5, 1, 1});
  zu_sort_array(&records);  // one element
  EXPECT_EQ(records.data[0].key, 5u);
  std::mt19937_64 random(42);
  std::vector<u64> keys = {0x8000000000000000ull, 1, UINT64_MAX, 7, 7, 0};
  for (int i = 0; i < 1000; ++i) keys.push_back(random());
  for (u64 key : keys) zu_array_push(&records, Record24{key, key ^ 1, 0});
  zu_sort_array(&records);
  keys.push_back(5);
  std::sort(keys.begin(), keys.end());
  ASSERT_EQ(records.count, keys.size());
  for (u32 i = 0; i < records.count; ++i) {
    ASSERT_EQ(records.data[i].key, keys[i]);
    if (records.data[i].key != 5) {
      ASSERT_EQ(records.data[i].a, keys[i] ^ 1);
    }
  }
  zu_array_destroy(&records);
  // Reversed, then sorted input: a middle pivot keeps the recursion shallow.
  std::vector<Record24> many(200000);
  for (u64 i = 0; i < many.size(); ++i) many[i].key = many.size() - i;
  for (int pass = 0; pass < 2; ++pass) {
    zu_sort(many.data(), many.data() + many.size() - 1);
    for (u64 i = 0; i < many.size(); ++i) ASSERT_EQ(many[i].key, i + 1);
  }
}
