// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <unistd.h>

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

TEST(DriverDeathTest, GenerationNormalisesAndQueuesInOrder) {
  TestHost host;
  TempDir dir;
  write_file(dir / "data/x/y.h", "y");
  write_file(dir / "a/b.h", "b");
  std::string printed = child_output([&] {
    if (chdir(dir.path().c_str()) != 0) abort();
    parse_arguments({"--tov-working-dir", "C:\\data\\..\\w", "--tov-sdk-dir", "/s",
                     "--tov-intermediate-dir", "i", "--tov-out", "o\\x.tov", "--tov-verbose"});
    tov_begin();
    std::string working = dir.path() + "/";
    parse_arguments({"--tov-working-dir", working, "--tov-sdk-dir", "/s", "--tov-intermediate-dir",
                     "i", "--tov-out", "x.tov", "--tov-verbose", "--tov-dir", "data", "--tov-file",
                     "a\\b.h", "a/b.h"});
    tov_begin();
  });
  // "C:/w/" is relative here: the file lands under the test folder.
  std::string first = read_file(dir / "C:/w/build.ninja");
  EXPECT_NE(first.find("\nwd = C$:/w/\n"), std::string::npos) << first;
  EXPECT_EQ(printed.substr(0, printed.find("Output file", 10)),
            "Output file is set to o/x.tov\n"
            "Intermediate directory is set to i/\n"
            "Working directory is set to C:/w/\n"
            "SDK directory is set to /s/\n"
            "\n");
  std::string second = printed.substr(printed.find("Output file", 10));
  EXPECT_NE(second.find("Scanning data/...\n"
                        "Queued 'data/x/y.h'...\n"
                        "Queued 'a/b.h'...\n"
                        "Queued 'a/b.h'...\n"
                        "\n"),
            std::string::npos)
      << second;
  std::string ninja = read_file(dir / "build.ninja");
  // Named after the scanned folder; the same file queued twice is listed twice.
  EXPECT_NE(ninja.find("build ${od}x/y.h : nullterminate ${wd}data/x/y.h"), std::string::npos);
  std::string statement = "build ${od}a/b.h : nullterminate ${wd}a/b.h";
  size_t first_at = ninja.find(statement);
  ASSERT_NE(first_at, std::string::npos);
  EXPECT_NE(ninja.find(statement, first_at + 1), std::string::npos);
}
