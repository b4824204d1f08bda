// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_array.h"
#include "zu_small_array.h"
#include "zu_string.h"

namespace {

// A record of a string followed by an array of strings.
struct Group {
  ZuString name;
  ZuArray<ZuString> patterns;
};

void zu_destroy(Group* group) {
  zu_array_destroy(&group->patterns);
  zu_string_destroy(&group->name);
}

void zu_copy(Group* destination, const Group* source) {
  zu_string_init_copy(&destination->name, &source->name);
  memset((void*)&destination->patterns, 0, sizeof(destination->patterns));
  zu_array_assign(&destination->patterns, &source->patterns);
}

ZuString make(const char* text) {
  ZuString s;
  zu_string_init(&s, text);
  return s;
}

struct PathSlot {
  char text[512];
};

}  // namespace

TEST(ZuArray, GrowthRuleAndZeroFilledResize) {
  ZuArray<PathSlot> slots = {};
  zu_array_resize(&slots, 3);
  EXPECT_EQ(slots.capacity, 8u);
  for (u32 i = 0; i < 3; ++i) memset(slots.data[i].text, 'x', sizeof(slots.data[i].text));
  zu_array_resize(&slots, 2);  // shrinking only lowers the count
  EXPECT_EQ(slots.count, 2u);
  zu_array_resize(&slots, 10);
  EXPECT_EQ(slots.capacity, 32u);
  for (u32 i = 2; i < 10; ++i)
    for (char c : slots.data[i].text) ASSERT_EQ(c, 0) << "slot " << i;
  zu_array_destroy(&slots);
  EXPECT_EQ(slots.data, nullptr);
  EXPECT_EQ(slots.capacity, 0u);

  ZuArray<u64> numbers = {};
  zu_array_reserve(&numbers, 100);
  EXPECT_EQ(numbers.capacity, 100u);  // 4 x 0 gives 8, below 100
  zu_array_destroy(&numbers);         // count 0, block still freed (ASan checks)
}

TEST(ZuArray, PushOfOwnElementAndNestedDestroy) {
  ZuArray<u64> numbers = {};
  for (u64 i = 0; i < 8; ++i) zu_array_push(&numbers, i * 10);
  zu_array_push(&numbers, numbers.data[3]);  // the reference lives in the old block
  EXPECT_EQ(numbers.data[8], 30u);
  EXPECT_EQ(numbers.capacity, 32u);
  zu_array_destroy(&numbers);

  ZuArray<Group> groups = {};
  Group* group = zu_array_push_zeroed(&groups);
  group->name = make("cxx_headers");
  zu_array_push(&group->patterns, make("*.h"));
  zu_array_push(&group->patterns, make("*.tov"));
  ZuArray<Group> copy = {};
  zu_array_assign(&copy, &groups);  // deep: the copy owns its own strings
  zu_array_destroy(&groups);
  ASSERT_EQ(copy.count, 1u);
  EXPECT_STREQ(zu_string_text(&copy.data[0].patterns.data[1]), "*.tov");
  zu_array_destroy(&copy);
}

TEST(ZuSmallArray, StaysInlineThenMovesToExactHeapBlock) {
  ZuSmallArray<u64, 256> array;
  zu_small_array_init(&array);
  for (u64 i = 0; i < 256; ++i) zu_small_array_push(&array, i);
  EXPECT_FALSE(zu_small_array_is_heap(&array));
  zu_small_array_push(&array, (u64)256);
  ASSERT_TRUE(zu_small_array_is_heap(&array));
  EXPECT_EQ(array.heap.capacity, 257u);
  zu_small_array_push(&array, (u64)257);
  EXPECT_EQ(array.heap.capacity, 1028u);
  for (u64 i = 0; i < 258; ++i) ASSERT_EQ(zu_small_array_data(&array)[i], i);
  zu_small_array_destroy(&array);
}
