// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "build_rules/invocations.h"
#include "test_support.h"

namespace {

// Runs a command on one input with the given bytes; returns the output.
std::string run_on(const char* command, const std::string& input) {
  TempDir dir;
  write_file(dir / "in", input);
  parse_arguments({"--tov-command-in-file", dir / "in", "--tov-command-out-file", dir / "out"});
  EXPECT_EQ(run_command(command, "/", "/", "i/"), 0u);
  return read_file(dir / "out");
}

}  // namespace

TEST(FileCommands, NullTerminationAndStringTables) {
  TestHost host;
  struct {
    const char* command;
    std::string input, output;
  } cases[] = {
      // The edges; E2eBuild checks "\r\n", empty lines and no final line break.
      {"nullterminate", "", std::string(1, '\0')},
      {"nullterminate_newlines", "", string_table_bytes({}, "")},
      // A leading line break: the first line starts after it.
      {"nullterminate_newlines", "\n\nx\n", string_table_bytes({2}, std::string("\0\0x\0", 4))},
  };
  for (const auto& c : cases) EXPECT_EQ(run_on(c.command, c.input), c.output) << c.input;
}

TEST(FileCommands, CopyAndMirror) {
  TestHost host;
  EXPECT_EQ(run_on("copy", std::string(100000, 'c')), std::string(100000, 'c'));
  TempDir dir;
  write_file(dir / "tree/a.txt", "a");
  write_file(dir / "tree/b/c.txt", "c");
  write_file(dir / "copy/stale.txt", "old");  // a file the tree no longer has goes
  parse_arguments({"--tov-command-in-file", dir / "tree", "--tov-command-out-file", dir / "copy"});
  EXPECT_EQ(run_command("mirror_dir", (dir.path() + "/").c_str(), "/", "i/"), 0u);
  EXPECT_EQ(read_file(dir / "copy/b/c.txt"), "c");
  EXPECT_EQ(filesystem_get_attr((dir / "copy/stale.txt").c_str()), 0u);
  EXPECT_FALSE(filesystem_mirror_directory("copy", "nothing", dir.path().c_str()));
}

TEST(FileCommandsDeathTest, CountsAreCheckedFirst) {
  TestHost host;
  TempDir dir;
  write_file(dir / "a", "a");
  write_file(dir / "b", "b");
  parse_arguments(
      {"--tov-command-in-file", dir / "a", dir / "b", "--tov-command-out-file", dir / "out"});
  EXPECT_EXIT(run_command("nullterminate_newlines", "/", "/", "i/"), testing::ExitedWithCode(255),
              exit_message("'nullterminate' expects exactly one input and one output"));
  parse_arguments({"--tov-command-in-file", dir / "a", "--tov-command-out-file", dir / "a/cannot"});
  EXPECT_EXIT(run_command("copy", "/", "/", "i/"), testing::ExitedWithCode(255),
              exit_message("Failed to copy '" + (dir / "a") + "' to '" + (dir / "a/cannot") + "'"));
}
