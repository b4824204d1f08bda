// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "test_support.h"
#include "zu_sys.h"

TEST(Print, TimeStampIsIsoUtcWithMilliseconds) {
  char buffer[128];
  i32 length = sys_snprintf(buffer, sizeof(buffer), "%#T|%-5s|%4u:", "TOV", 12u);
  EXPECT_EQ(length, 24 + 12);
  // "2026-12-06T03:14:45.123Z": digits where the shape has 9.
  const char* shape = "9999-99-99T99:99:99.999Z|TOV  |  12:";
  ASSERT_EQ(strlen(buffer), strlen(shape));
  for (size_t i = 0; shape[i]; ++i) {
    if (shape[i] == '9')
      EXPECT_TRUE(isdigit((unsigned char)buffer[i])) << buffer;
    else
      EXPECT_EQ(buffer[i], shape[i]) << buffer;
  }
  // "%%" stays text, also before "#T".
  sys_snprintf(buffer, sizeof(buffer), "100%%#T %d", 5);
  EXPECT_STREQ(buffer, "100%#T 5");
  EXPECT_EQ(sys_snprintf(buffer, 4, "%s", "abcdef"), 6);  // the whole length; the text cut
  EXPECT_STREQ(buffer, "abc");
}

TEST(PrintDeathTest, ExitPrintsToStandardErrorAndEndsWith255) {
  EXPECT_EXIT(sys_exit(-1, "No working dir set"), testing::ExitedWithCode(255),
              exit_message("No working dir set"));
  EXPECT_EXIT(sys_exit(-1, "Single '-' is not allowed, aborted\n"), testing::ExitedWithCode(255),
              "^Single '-' is not allowed, aborted\n$");
  std::string long_text(10000, 'x');
  EXPECT_EXIT(sys_exit(3, "%s", long_text.c_str()), testing::ExitedWithCode(3), "^x{10000}\n$");
}
