// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_sys.h"

TEST(Text, SearchesCopiesAndReplacements) {
  const char* text = "C:/a/b/../c/";
  const char* dots = sys_strstr(text, "../");
  EXPECT_EQ(sys_strchr_rev(text, dots - 2, '/'), text + 4);  // from the start given, included
  EXPECT_EQ(sys_strchr_rev(text, text + 2, '/'), text + 2);
  EXPECT_EQ(sys_strchr_rev(text, text + 1, '/'), nullptr);
  EXPECT_TRUE(sys_strend("x.data.cpp", ".cpp") && sys_strend("x.cpp", "") &&
              sys_strend(".cpp", ".cpp"));
  EXPECT_FALSE(sys_strend("cpp", ".cpp"));

  char buffer[8];
  sys_strncpy(buffer, "dir/f.cpp|odir", 4);  // at most size - 1, terminated
  EXPECT_STREQ(buffer, "dir");
  char lines[] = "a\r\nb\nc";  // over the whole text, past the NULs it writes
  sys_strreplace_any(lines, "\n\r", 0);
  EXPECT_EQ(0, memcmp(lines, "a\0\0b\0c", 7));
}

TEST(Text, NumbersReadSaturateAndWrite) {
  const char* end;
  EXPECT_EQ(sys_atou("123abc", 10, &end), 123u);
  EXPECT_STREQ(end, "abc");
  EXPECT_EQ(sys_atoi("-42x", 10, &end), -42);
  EXPECT_EQ(sys_atou("ff", 16, nullptr), 255u);
  EXPECT_EQ(sys_atou("99999999999999999999999", 10, nullptr), UINT64_MAX);
  EXPECT_EQ(sys_atoi("-99999999999999999999", 10, nullptr), INT64_MIN);
  char buffer[32];
  sys_itoa(INT64_MIN, buffer, sizeof(buffer), 10);
  EXPECT_STREQ(buffer, "-9223372036854775808");
  EXPECT_EQ(sys_itoa(-1234, buffer, 4, 10), 5u);  // the whole length; the text cut
  EXPECT_STREQ(buffer, "-12");
}
