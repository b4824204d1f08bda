// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_string.h"

namespace {
std::string text_of(const ZuString& s) { return std::string(zu_string_text(&s)); }
}  // namespace

TEST(ZuString, StatesAndGrowth) {
  ZuString zeroed, empty, copy, s;
  zu_string_zero(&zeroed);
  zu_string_init_empty(&empty);
  EXPECT_EQ(zu_string_length(&zeroed), 0u);  // zeroed: no terminator yet
  EXPECT_EQ(zu_string_length(&empty), 1u);
  EXPECT_STREQ(zu_string_text(&zeroed), "");
  zu_string_init(&s, "123456789012345678");  // length 19: the most that stays inline
  zu_string_init_copy(&copy, &s);
  EXPECT_TRUE(zu_string_equal(&copy, &s));
  EXPECT_FALSE(zu_string_is_heap(&s));
  zu_string_add_char(&s, 'x');
  ASSERT_TRUE(zu_string_is_heap(&s));
  EXPECT_EQ(zu_string_capacity(&s), 20u);  // exactly what was needed
  zu_string_add_char(&s, 'y');
  EXPECT_EQ(zu_string_capacity(&s), 80u);  // then four times
  EXPECT_EQ(text_of(s), "123456789012345678xy");
  // Text and terminator grow the string in one step: "abcd" and 30 more
  // characters need 35 bytes, not 34 and then four times that.
  ZuString added;
  zu_string_init(&added, "abcd");
  zu_string_add_text(&added, std::string(30, 'e').c_str());
  EXPECT_EQ(zu_string_capacity(&added), 35u);
  EXPECT_EQ(text_of(added), "abcd" + std::string(30, 'e'));
  // Four times too little takes what is needed.
  std::string big(200, 'b');
  zu_string_append_range(&added, big.c_str(), big.c_str() + 201);
  EXPECT_EQ(zu_string_capacity(&added), 236u);
  // No operation shrinks the block, nor returns to the inline form.
  zu_string_assign_range(&s, &"a"[0], &"a"[2]);
  EXPECT_EQ(zu_string_capacity(&s), 80u);
  EXPECT_EQ(text_of(s), "a");
  for (ZuString* each : {&zeroed, &empty, &copy, &s, &added}) zu_string_destroy(each);
  for (u8 byte : s.bytes) EXPECT_EQ(byte, 0);
  zu_string_destroy(&s);  // a zeroed string frees nothing and stays zeroed
}

TEST(ZuString, EditsFromItsOwnBytes) {
  ZuString s;
  zu_string_init(&s, "a fairly long text on the heap");
  u32 capacity = zu_string_capacity(&s);
  char* data = zu_string_data(&s);
  EXPECT_TRUE(zu_string_assign(&s, &s));  // the whole of itself: nothing changes
  EXPECT_EQ(text_of(s), "a fairly long text on the heap");
  data[8] = 0;  // a prefix with its own terminator stays in place
  EXPECT_TRUE(zu_string_assign_range(&s, data, data + 9));
  EXPECT_EQ(text_of(s), "a fairly");
  EXPECT_EQ(zu_string_data(&s), data);
  EXPECT_EQ(zu_string_capacity(&s), capacity);
  EXPECT_TRUE(zu_string_assign_range(&s, data + 2, data + 9));  // a middle part moves forward
  EXPECT_EQ(text_of(s), "fairly");
  zu_string_destroy(&s);

  zu_string_init(&s, "0123456789abcdef");  // inline, 17 bytes
  data = zu_string_data(&s);
  zu_string_add_range(&s, data, data + 16);  // moves to the heap mid-copy
  EXPECT_EQ(text_of(s), "0123456789abcdef0123456789abcdef");
  data = zu_string_data(&s);
  EXPECT_TRUE(zu_string_insert(&s, data + 4, data + 2, data + 6));  // straddles the point
  EXPECT_EQ(text_of(s), "01232345456789abcdef0123456789abcdef");
  data = zu_string_data(&s);
  EXPECT_FALSE(zu_string_insert(&s, data - 1, &"x"[0], &"x"[1]));
  zu_string_destroy(&s);

  ZuString a, b;
  zu_string_init(&a, "ab");
  zu_string_init(&b, "cd");
  zu_string_append(&a, &b);  // keeps both terminators: "ab\0cd\0"
  EXPECT_EQ(zu_string_length(&a), 6u);
  EXPECT_EQ(0, memcmp(zu_string_data(&a), "ab\0cd", 6));
  zu_string_destroy(&a);
  zu_string_destroy(&b);
}
