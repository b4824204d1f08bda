// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_sys.h"

TEST(Numbers, ReadLeadingDigitsAndReportEnd) {
  const char* end;
  EXPECT_EQ(sys_atou("123abc", 10, &end), 123u);
  EXPECT_STREQ(end, "abc");
  EXPECT_EQ(sys_atou("abc", 10, &end), 0u);
  EXPECT_STREQ(end, "abc");
  EXPECT_EQ(sys_atoi("-42x", 10, &end), -42);
  EXPECT_STREQ(end, "x");
  EXPECT_EQ(sys_atoi("+7", 10, nullptr), 7);
  EXPECT_EQ(sys_atou("ff", 16, nullptr), 255u);
}

TEST(Numbers, OutOfRangeSaturates) {
  EXPECT_EQ(sys_atou("18446744073709551615", 10, nullptr), UINT64_MAX);
  EXPECT_EQ(sys_atou("99999999999999999999999", 10, nullptr), UINT64_MAX);
  EXPECT_EQ(sys_atoi("-9223372036854775808", 10, nullptr), INT64_MIN);
  EXPECT_EQ(sys_atoi("-99999999999999999999", 10, nullptr), INT64_MIN);
  EXPECT_EQ(sys_atoi("99999999999999999999", 10, nullptr), INT64_MAX);
}

TEST(Numbers, WriteDecimalAndCutToBuffer) {
  char buffer[32];
  EXPECT_EQ(sys_utoa(0, buffer, sizeof(buffer), 10), 1u);
  EXPECT_STREQ(buffer, "0");
  sys_utoa(UINT64_MAX, buffer, sizeof(buffer), 10);
  EXPECT_STREQ(buffer, "18446744073709551615");
  sys_itoa(INT64_MIN, buffer, sizeof(buffer), 10);
  EXPECT_STREQ(buffer, "-9223372036854775808");
  EXPECT_EQ(sys_itoa(-1234, buffer, 4, 10), 5u);
  EXPECT_STREQ(buffer, "-12");
}
