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
