// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "command_option.h"
#include "test_support.h"

ZU_COMMAND_OPTION(g_files_dir, 0, "files-dir", "Directories", kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_files_out, 0, "files-out", "Output", kOptionOne, kOptionString);

namespace {

std::vector<std::string> values(CommandOption** handle) {
  std::vector<std::string> result;
  for (u64 i = 0; i < command_option_count(handle); ++i)
    result.push_back(zu_string_text(command_option_value(handle, i)));
  return result;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(ArgumentFiles, LineFileKeepsBlanksAndSkipsEmptyLines) {
  TestHost host;
  TempDir dir;
  std::string file = dir / "args.txt";
  write_file(file, "--files-out\r\n\r\n\n  path with a space.tov  \n--files-dir\na\r\nb");
  parse_arguments({"--arg-file", file});
  EXPECT_EQ(values(&g_files_out), Strings{"  path with a space.tov  "});
  EXPECT_EQ(values(&g_files_dir), (Strings{"a", "b"}));  // no final line feed needed
}

TEST(ArgumentFiles, SpaceAndShellFilesSplitOnBlanksAndQuotesGroup) {
  TestHost host;
  TempDir dir;
  struct {
    const char* kind;
    const char* text;
    Strings dirs;
  } cases[] = {
      {"--arg-file-space", "--files-dir \"name with space\"   plain x\"y z\"w",
       {"name with space", "plain", "xy zw"}},
      // As Ninja writes a response file, and what a shell does beyond it.
      {"--arg-file-shell",
       "--files-dir '/t/o'\\''k dir/a b' plain\n\"d \\\"q\\\" \\$x \\y\" b\\ c '' \\\n\tlast\n",
       {"/t/o'k dir/a b", "plain", "d \"q\" $x \\y", "b c", "last"}},
  };
  for (const auto& c : cases) {
    write_file(dir / "args.txt", c.text);
    parse_arguments({c.kind, dir / "args.txt"});
    EXPECT_EQ(values(&g_files_dir), c.dirs) << c.kind;
  }
}

TEST(ArgumentFiles, OptionalFilesMayBeMissingAndDoNotOverrideASingleValue) {
  TestHost host;
  TempDir dir;
  write_file(dir / "optional.txt", "--files-out\nfrom_file\n--files-dir\nextra");
  parse_arguments({"--files-out", "from_line", "--optional-arg-file", dir / "missing.txt",
                   dir / "optional.txt"});
  EXPECT_EQ(values(&g_files_out), Strings{"from_line"});
  EXPECT_EQ(values(&g_files_dir), Strings{"extra"});
}

TEST(ArgumentFiles, SelfReferenceIsReadOnceAndNestedFilesAreRead) {
  TestHost host;
  TempDir dir;
  std::string self = dir / "self.txt";
  std::string nested = dir / "nested.txt";
  write_file(self, "--files-dir\nfrom_self\n--arg-file\n" + self + "\n--arg-file\n" + nested);
  write_file(nested, "--files-dir\nfrom_nested\n--arg-file\n" + self);
  parse_arguments({"--arg-file", self});
  EXPECT_EQ(values(&g_files_dir), (Strings{"from_self", "from_nested"}));
  // Backslashes name the same file as slashes.
  std::string backslashed = self;
  backslashed[backslashed.rfind('/')] = '\\';
  parse_arguments({"--arg-file", self, backslashed});
  EXPECT_EQ(values(&g_files_dir), (Strings{"from_self", "from_nested"}));
}

TEST(ArgumentFiles, SixFilesAreReadLineOptionalThenSpace) {
  TestHost host;
  TempDir dir;
  std::vector<std::string> args;
  const char* kinds[] = {"--arg-file", "--arg-file", "--arg-file", "--optional-arg-file",
                         "--optional-arg-file", "--arg-file-space"};
  // Given in mixed order on the command line; read grouped by kind.
  int order[] = {5, 3, 0, 1, 4, 2};
  for (int i : order) {
    std::string path = dir / ("f" + std::to_string(i));
    // A space file keeps line breaks inside its arguments.
    write_file(path, std::string("--files-dir") + (i == 5 ? " " : "\n") + std::to_string(i));
    args.push_back(kinds[i]);
    args.push_back(path);
  }
  parse_arguments(args);
  EXPECT_EQ(values(&g_files_dir), (Strings{"0", "1", "2", "3", "4", "5"}));
}

TEST(ArgumentFiles, WorkingDirIsEnteredBeforeFilesAreOpenedAndOnlyOnce) {
  TempDir dir;
  write_file(dir / "d/f.txt", "--files-out\ninside");
  write_file(dir / "d/d/f.txt", "--files-out\ntoo deep");
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  {
    TestHost host;
    parse_arguments({"--working-dir", "d", "--arg-file", "f.txt"});
    EXPECT_EQ(values(&g_files_out), Strings{"inside"});
    // The next module's parse of the same command line stays in d.
    parse_arguments({"--working-dir", "d", "--arg-file", "f.txt"});
    EXPECT_EQ(values(&g_files_out), Strings{"inside"});
  }
  ASSERT_EQ(chdir(previous), 0);
}

TEST(ArgumentFiles, EmptyAndBinaryFilesParse) {
  TestHost host;
  TempDir dir;
  write_file(dir / "empty.txt", "");
  std::string binary("--files-dir\0a\xff\x01\n\0\0b\r", 20);
  write_file(dir / "binary.bin", binary);
  parse_arguments({"--arg-file", dir / "empty.txt", dir / "binary.bin"});
  EXPECT_EQ(values(&g_files_dir), (Strings{"a\xff\x01", "b"}));
  write_file(dir / "quote.txt", "--files-dir \"never closed");
  parse_arguments({"--arg-file-space", dir / "quote.txt"});
  EXPECT_EQ(values(&g_files_dir), Strings{"never closed"});
}

TEST(ArgumentFilesDeathTest, MissingOrBadFilesEndTheProcess) {
  TestHost host;
  TempDir dir;
  std::string missing = dir / "missing.txt";
  EXPECT_EXIT(parse_arguments({"--arg-file", missing}), testing::ExitedWithCode(255),
              exit_message("Cannot open argument file '" + missing + "', aborted\n"));
  std::string backslashed = dir.path() + "\\missing.txt";
  EXPECT_EXIT(parse_arguments({"--arg-file-space", backslashed}), testing::ExitedWithCode(255),
              exit_message("Cannot open argument file '" + missing + "', aborted\n"));
  write_file(dir / "two.txt", "--files-out\na\nb");
  EXPECT_EXIT(parse_arguments({"--arg-file", dir / "two.txt"}), testing::ExitedWithCode(255),
              exit_message("Multiple arguments given for command '/files-out', aborted\n"));
  write_file(dir / "cut.rsp", "--files-dir 'cut sh");
  EXPECT_EXIT(parse_arguments({"--arg-file-shell", dir / "cut.rsp"}), testing::ExitedWithCode(255),
              exit_message("Argument file '" + (dir / "cut.rsp") + "' ends inside a quote, aborted\n"));
  EXPECT_EXIT(parse_arguments({"--working-dir", dir / "nowhere"}), testing::ExitedWithCode(255),
              exit_message("Cannot change to working directory '" + (dir / "nowhere") +
                           "', aborted\n"));
}
