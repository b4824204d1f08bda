// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "command_option.h"
#include "test_support.h"

ZU_COMMAND_OPTION(g_files_dir, 0, "files-dir", "Directories", kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_files_out, 0, "files-out", "Output", kOptionOne, kOptionString);

using Strings = std::vector<std::string>;

TEST(ArgumentFiles, EachKindSplitsItsOwnWay) {
  TestHost host;
  TempDir dir;
  struct {
    const char* kind;
    std::string text;
    Strings dirs;
  } cases[] = {
      // Lines keep their blanks; empty lines and carriage returns go.
      {"--arg-file",
       "--files-dir\r\n\r\n\n  with a space  \na\r\nb",
       {"  with a space  ", "a", "b"}},
      {"--arg-file", std::string("--files-dir\0a\xff\x01\n\0\0b\r", 20), {"a\xff\x01", "b"}},
      {"--arg-file-space",
       "--files-dir \"name with space\"   plain x\"y z\"w",
       {"name with space", "plain", "xy zw"}},
      {"--arg-file-space", "--files-dir \"never closed", {"never closed"}},
      // As Ninja writes a response file, and what a shell does beyond it.
      {"--arg-file-shell",
       "--files-dir '/t/o'\\''k dir/a b' plain\n\"d \\\"q\\\" \\$x \\y\" b\\ c '' \\\n\tlast\n",
       {"/t/o'k dir/a b", "plain", "d \"q\" $x \\y", "b c", "last"}},
  };
  for (const auto& c : cases) {
    write_file(dir / "args.txt", c.text);
    parse_arguments({c.kind, dir / "args.txt"});
    EXPECT_EQ(option_values(&g_files_dir), c.dirs) << c.kind << " " << c.text;
  }
}

// Every module parses the line again; what a parse keeps from the one
// before must follow the file and the line as they are now, down to a file
// rewritten within one tick of the file system's clock at the same size.
TEST(ArgumentFiles, EachParseSeesTheFileAndLineAsTheyAreNow) {
  TestHost host;
  TempDir dir;
  std::string path = dir / "args.txt";
  struct {
    const char* kind;
    const char* text;
    Strings line;
    Strings dirs;
  } steps[] = {
      {"--arg-file", "--files-dir\na\nb c\nd", {}, {"a", "b c", "d"}},
      {"--arg-file", "--files-dir\na\nb c\nd", {}, {"a", "b c", "d"}},
      {"--arg-file", "--files-dir\na\nb c\ne", {}, {"a", "b c", "e"}},
      {"--arg-file-space", "--files-dir\na\nb c\ne", {}, {"a", "b", "c", "e"}},
      {"--arg-file", "--files-dir\na\nb c\ne", {"--files-dir", "z"}, {"z", "a", "b c", "e"}},
      {"--arg-file", "--files-dir\nb", {"--files-dir", "z", "y"}, {"z", "y", "b"}},
      {"--arg-file", "--files-out\nb", {}, {}},
  };
  for (const auto& step : steps) {
    write_file(path, step.text);
    Strings args = step.line;
    args.insert(args.end(), {step.kind, path});
    parse_arguments(args);
    EXPECT_EQ(option_values(&g_files_dir), step.dirs) << step.kind << " " << step.text;
  }
}

TEST(ArgumentFiles, OrderNestingAndOptionalFiles) {
  TestHost host;
  TempDir dir;
  // Optional files may be missing and do not override a single value.
  write_file(dir / "optional.txt", "--files-out\nfrom_file\n--files-dir\nextra");
  parse_arguments({"--files-out", "from_line", "--optional-arg-file", dir / "missing.txt",
                   dir / "optional.txt"});
  EXPECT_EQ(option_values(&g_files_out), Strings{"from_line"});
  EXPECT_EQ(option_values(&g_files_dir), Strings{"extra"});
  // A file naming itself is read once; nested files are read; backslashes
  // name the same file as slashes.
  std::string self = dir / "self.txt", nested = dir / "nested.txt";
  write_file(self, "--files-dir\nfrom_self\n--arg-file\n" + self + "\n--arg-file\n" + nested);
  write_file(nested, "--files-dir\nfrom_nested\n--arg-file\n" + self);
  std::string backslashed = self;
  backslashed[backslashed.rfind('/')] = '\\';
  parse_arguments({"--arg-file", self, backslashed});
  EXPECT_EQ(option_values(&g_files_dir), (Strings{"from_self", "from_nested"}));
  // Given in mixed order, files are read grouped: lines, optional, space.
  std::vector<std::string> args;
  const char* kinds[] = {"--arg-file",          "--arg-file",          "--arg-file",
                         "--optional-arg-file", "--optional-arg-file", "--arg-file-space"};
  for (int i : {5, 3, 0, 1, 4, 2}) {
    std::string path = dir / ("f" + std::to_string(i));
    write_file(path, std::string("--files-dir") + (i == 5 ? " " : "\n") + std::to_string(i));
    args.push_back(kinds[i]);
    args.push_back(path);
  }
  parse_arguments(args);
  EXPECT_EQ(option_values(&g_files_dir), (Strings{"0", "1", "2", "3", "4", "5"}));
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
    for (int module = 0; module < 2; ++module) {  // each module parses the same line
      parse_arguments({"--working-dir", "d", "--arg-file", "f.txt"});
      EXPECT_EQ(option_values(&g_files_out), Strings{"inside"});
    }
  }
  ASSERT_EQ(chdir(previous), 0);
}

TEST(ArgumentFilesDeathTest, MissingOrBadFilesEndTheProcess) {
  TestHost host;
  TempDir dir;
  std::string missing = dir / "missing.txt";
  write_file(dir / "two.txt", "--files-out\na\nb");
  write_file(dir / "cut.rsp", "--files-dir 'cut sh");
  struct {
    Strings args;
    std::string message;
  } cases[] = {
      {{"--arg-file", missing}, "Cannot open argument file '" + missing + "', aborted\n"},
      {{"--arg-file", dir / "two.txt"},
       "Multiple arguments given for command '/files-out', aborted\n"},
      {{"--arg-file-shell", dir / "cut.rsp"},
       "Argument file '" + (dir / "cut.rsp") + "' ends inside a quote, aborted\n"},
  };
  for (const auto& c : cases)
    EXPECT_EXIT(parse_arguments(c.args), testing::ExitedWithCode(255), exit_message(c.message));
}
