// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "build_rules/invocations.h"
#include "test_support.h"
#include "tov_entry.h"

namespace {

std::string g_working_dir, g_sdk_dir, g_intermediate_dir;

u32 remember(CommandContext* context) {
  g_working_dir = context->working_dir;
  g_sdk_dir = context->sdk_dir;
  g_intermediate_dir = context->intermediate_dir;
  return 5;
}

const int g_registered = [] {
  tov_register_rule_invocation("test_driver", remember, 0, 0, 0, nullptr, 0);
  return 0;
}();

using Args = std::vector<std::string>;

}  // namespace

TEST(Driver, CommandModeKeepsDotDotsAndJoinsSdkFolders) {
  TestHost host;
  parse_arguments({"--tov-working-dir", "C:\\data\\..\\assets", "--tov-sdk-dir", "a", "b\\c",
                   "--tov-intermediate-dir", "i", "--tov-command", "test_driver"});
  EXPECT_EQ(tov_begin(), 5u);
  EXPECT_EQ(g_working_dir, "C:/data/../assets/");
  EXPECT_EQ(g_sdk_dir, "a b/c/");
  EXPECT_EQ(g_intermediate_dir, "i/");
  // A relative folder that does not begin with '.' passes the test.
  parse_arguments({"--tov-working-dir", "assets/", "--tov-sdk-dir", "s", "--tov-intermediate-dir",
                   "i/", "--tov-command", "test_driver"});
  EXPECT_EQ(tov_begin(), 5u);
  EXPECT_EQ(g_working_dir, "assets/");
}
