// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_string.h"

namespace {
std::string text_of(const ZuString& s) { return std::string(zu_string_text(&s)); }
}  // namespace

TEST(ZuString, ThreeStatesAndConstruction) {
  ZuString zeroed;
  zu_string_zero(&zeroed);
  EXPECT_EQ(zu_string_length(&zeroed), 0u);
  EXPECT_STREQ(zu_string_text(&zeroed), "");

  ZuString empty;
  zu_string_init_empty(&empty);
  EXPECT_EQ(zu_string_length(&empty), 1u);
  EXPECT_STREQ(zu_string_text(&empty), "");

  ZuString from_empty_text;
  zu_string_init(&from_empty_text, "");
  EXPECT_EQ(zu_string_length(&from_empty_text), 1u);

  ZuString abc;
  zu_string_init(&abc, "abc");
  EXPECT_EQ(zu_string_length(&abc), 4u);
  EXPECT_FALSE(zu_string_is_heap(&abc));
  EXPECT_EQ(abc.bytes[19], 4);
  EXPECT_EQ(0, memcmp(abc.bytes, "abc", 4));

  ZuString copy;
  zu_string_init_copy(&copy, &abc);
  EXPECT_TRUE(zu_string_equal(&copy, &abc));
  for (ZuString* s : {&zeroed, &empty, &from_empty_text, &abc, &copy}) zu_string_destroy(s);
}

TEST(ZuString, GrowthFromInlineToHeapAndByFour) {
  ZuString s;
  zu_string_init(&s, "123456789012345678");  // 18 characters: length 19, inline
  EXPECT_FALSE(zu_string_is_heap(&s));
  EXPECT_EQ(zu_string_length(&s), 19u);
  zu_string_add_char(&s, 'x');
  ASSERT_TRUE(zu_string_is_heap(&s));
  EXPECT_EQ(zu_string_capacity(&s), 20u);  // exactly what was needed
  EXPECT_EQ(zu_string_length(&s), 20u);
  EXPECT_EQ(s.bytes[16] | s.bytes[17] | s.bytes[18], 0);
  zu_string_add_char(&s, 'y');
  EXPECT_EQ(zu_string_capacity(&s), 80u);
  EXPECT_EQ(text_of(s), "123456789012345678xy");
  // Text and terminator grow the string in one step: "abcd" and 30 more
  // characters need 35 bytes, not 34 and then four times that.
  ZuString added;
  zu_string_init(&added, "abcd");
  zu_string_add_text(&added, std::string(30, 'e').c_str());
  EXPECT_EQ(zu_string_capacity(&added), 35u);
  EXPECT_EQ(text_of(added), "abcd" + std::string(30, 'e'));
  zu_string_destroy(&added);
  // No operation shrinks the block, nor returns to the inline form.
  zu_string_assign_range(&s, &"a"[0], &"a"[2]);
  EXPECT_TRUE(zu_string_is_heap(&s));
  EXPECT_EQ(zu_string_capacity(&s), 80u);
  EXPECT_EQ(text_of(s), "a");
  zu_string_destroy(&s);
  for (u8 byte : s.bytes) EXPECT_EQ(byte, 0);
  zu_string_destroy(&s);  // a zeroed string frees nothing and stays zeroed
  for (u8 byte : s.bytes) EXPECT_EQ(byte, 0);
}

TEST(ZuString, HeapGrowthTakesNeededSizeWhenFourTimesIsShort) {
  ZuString s;
  zu_string_zero(&s);
  zu_string_switch_to_heap(&s, 0);
  zu_string_reserve(&s, 5);
  EXPECT_EQ(zu_string_capacity(&s), 8u);  // from capacity 0
  std::string big(100, 'b');
  zu_string_append_range(&s, big.c_str(), big.c_str() + 101);
  EXPECT_EQ(zu_string_capacity(&s), 101u);  // 4 x 8 is below 101
  EXPECT_EQ(text_of(s), big);
  zu_string_destroy(&s);
}

TEST(ZuString, AssignFromItselfWorksInPlace) {
  ZuString s;
  zu_string_init(&s, "a fairly long text on the heap");
  u32 capacity = zu_string_capacity(&s);
  char* data = zu_string_data(&s);
  EXPECT_TRUE(zu_string_assign(&s, &s));  // the whole of itself: nothing changes
  EXPECT_EQ(text_of(s), "a fairly long text on the heap");
  // A prefix of itself (with its own NUL written by hand) leaves that prefix.
  data[8] = 0;
  EXPECT_TRUE(zu_string_assign_range(&s, data, data + 9));
  EXPECT_EQ(text_of(s), "a fairly");
  EXPECT_EQ(zu_string_length(&s), 9u);
  EXPECT_EQ(zu_string_data(&s), data);  // no block allocated
  EXPECT_EQ(zu_string_capacity(&s), capacity);
  // A middle part moves to the front.
  data = zu_string_data(&s);
  EXPECT_TRUE(zu_string_assign_range(&s, data + 2, data + 9));
  EXPECT_EQ(text_of(s), "fairly");
  zu_string_destroy(&s);
}

TEST(ZuString, AppendAndInsertFromOwnBytesSurviveGrowth) {
  ZuString s;
  zu_string_init(&s, "0123456789abcdef");  // inline, 17 bytes
  char* data = zu_string_data(&s);
  // Appending its own bytes forces the switch to the heap mid-copy.
  zu_string_add_range(&s, data, data + 16);
  EXPECT_EQ(text_of(s), "0123456789abcdef0123456789abcdef");
  data = zu_string_data(&s);
  // Insert a range that straddles the insertion point.
  EXPECT_TRUE(zu_string_insert(&s, data + 4, data + 2, data + 6));
  EXPECT_EQ(text_of(s), "01232345456789abcdef0123456789abcdef");
  data = zu_string_data(&s);
  u32 length = zu_string_length(&s);
  EXPECT_FALSE(zu_string_insert(&s, data - 1, &"x"[0], &"x"[1]));
  EXPECT_FALSE(zu_string_insert(&s, data + length + 1, &"x"[0], &"x"[1]));
  EXPECT_EQ(zu_string_length(&s), length);
  EXPECT_TRUE(zu_string_insert(&s, data + length, &"!"[0], &"!"[1]));  // at the very end
  EXPECT_EQ(zu_string_length(&s), length + 1);
  zu_string_destroy(&s);
}

TEST(ZuString, AppendAddsTerminatorToo) {
  ZuString a, b;
  zu_string_init(&a, "ab");
  zu_string_init(&b, "cd");
  zu_string_append(&a, &b);
  EXPECT_EQ(zu_string_length(&a), 6u);  // "ab\0cd\0": the two-step add erases first
  EXPECT_EQ(0, memcmp(zu_string_data(&a), "ab\0cd", 6));
  zu_string_destroy(&a);
  zu_string_init(&a, "ab");
  zu_string_add_text(&a, "cd");
  EXPECT_EQ(text_of(a), "abcd");
  EXPECT_EQ(zu_string_length(&a), 5u);
  char* data = zu_string_data(&a);
  zu_string_erase(&a, data + 1, data + 3);
  EXPECT_EQ(text_of(a), "ad");
  zu_string_destroy(&a);
  zu_string_destroy(&b);
}
