// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_sys.h"

TEST(Text, StrchrRevSearchesBackwardsFromStartIncluded) {
  const char* text = "C:/a/b/../c/";
  const char* dots = sys_strstr(text, "../");
  // From two before "../": the '/' before b.
  EXPECT_EQ(sys_strchr_rev(text, dots - 2, '/'), text + 4);
  EXPECT_EQ(sys_strchr_rev(text, text + 2, '/'), text + 2);
  EXPECT_EQ(sys_strchr_rev(text, text + 1, '/'), nullptr);
  EXPECT_EQ(sys_strchr_rev(text, text + 0, 'C'), text);
}

TEST(Text, BeginAndEnd) {
  EXPECT_TRUE(sys_strend("x.data.cpp", ".cpp"));
  EXPECT_TRUE(sys_strend("x.cpp", ""));
  EXPECT_FALSE(sys_strend("cpp", ".cpp"));
  EXPECT_TRUE(sys_strbegin("-epicapp=Game", "-epicapp="));
  EXPECT_TRUE(sys_strbegin("-epicapp=", "-epicapp="));
  EXPECT_FALSE(sys_strbegin("-epic", "-epicapp="));
}

TEST(Text, StrncpyCopiesAtMostSizeLessOneAndTerminates) {
  char buffer[8];
  memset(buffer, 'x', sizeof(buffer));
  sys_strncpy(buffer, "dir/f.cpp|odir", 4);  // the text before '|' when '|' is at 3
  EXPECT_STREQ(buffer, "dir");
  sys_strncpy(buffer, "abcdefghijk", sizeof(buffer));
  EXPECT_STREQ(buffer, "abcdefg");
  sys_strncpy(buffer, "ab", sizeof(buffer));
  EXPECT_STREQ(buffer, "ab");
  buffer[0] = 'q';
  sys_strncpy(buffer, "zzz", 0);  // no room: nothing written
  EXPECT_EQ(buffer[0], 'q');
}

TEST(Text, ReplaceAnyWorksOverTheWholeTextEvenWithNul) {
  char lines[] = "a\r\nb\nc";
  sys_strreplace_any(lines, "\n\r", 0);
  EXPECT_EQ(0, memcmp(lines, "a\0\0b\0c", 7));
  char path[] = "a\\b\\c";
  sys_strreplace_any(path, "\\", '/');
  EXPECT_STREQ(path, "a/b/c");
}
