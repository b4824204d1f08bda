#include <gtest/gtest.h>

#include "e2e_tree.h"

namespace {

std::string tov(const std::string& arguments) { return shell_quote(host_path()) + " " + arguments; }

}  // namespace

TEST(E2eFatal, SettingsAndCommands) {
  E2eTree tree;
  struct Case {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"", "No working dir set\n"},
      {"--tov-working-dir ./x", "Working dir must be absolute path\n"},
      {"--tov-working-dir /w --tov-command copy", "No SDK dir set\n"},
      {"--tov-working-dir /w --tov-sdk-dir /s --tov-intermediate-dir i", "No output file set\n"},
      {"--tov-working-dir /w --tov-sdk-dir /s --tov-intermediate-dir i --tov-command nothing",
       "Couldn't find command named 'nothing' in invocation entries\n"},
      {"--tov-working-dir /w --tov-sdk-dir /s --tov-intermediate-dir i --tov-command copy "
       "--tov-command-in-file /no/such /other",
       "Couldn't find file '/no/such' (next file is '/other'), exiting...\n"},
      {"--tov-working-dir /w --tov-sdk-dir /s --tov-intermediate-dir i --tov-command copy",
       "'copy' expects exactly one input and one output\n"},
  };
  for (const Case& c : cases) {
    ProcessResult result = run_shell(tov(c.arguments), tree.root());
    EXPECT_EQ(result.status, 255) << c.arguments;
    EXPECT_EQ(result.err, c.message) << c.arguments;
  }
}

// A generation that fails leaves no part of a build file for Ninja to take
// as up to date: the last good one, or none.
TEST(E2eFatal, BadNamesLeaveNoPartOfBuildNinja) {
  struct Case {
    const char* file;
    std::string message;
  } cases[] = {
      {"assets/Bad.bin",
       "File 'assets/Bad.bin' contains illegal characters (only [a-z0-9./_] allowed in TOV "
       "archive)\n"},
      {"assets/readme", "ERROR: No '.' in filename 'assets/readme', aborting...\n"},
      {"assets/notes.md",
       "ERROR: No rules found that matches filename 'assets/notes.md', aborting...\n"},
  };
  for (const Case& c : cases) {
    E2eTree tree;
    tree.write("assets/0.bin", "0");  // sorts before every bad name
    ASSERT_EQ(tree.generate("e2e_bad.tov", {"--tov-dir", "assets/"}).status, 0);
    std::string good = read_file(tree.path("out/build.ninja"));
    tree.write(c.file, "x");
    ProcessResult result = tree.generate("e2e_bad.tov", {"--tov-dir", "assets/"});
    EXPECT_EQ(result.status, 255) << c.file;
    EXPECT_EQ(result.err, c.message);
    EXPECT_EQ(read_file(tree.path("out/build.ninja")), good);
    run_shell("rm out/build.ninja", tree.root());
    EXPECT_EQ(tree.generate("e2e_bad.tov", {"--tov-dir", "assets/"}).status, 255);
    EXPECT_EQ(filesystem_get_attr(tree.path("out/build.ninja").c_str()), 0u);
    EXPECT_EQ(run_shell("ls -A out", tree.root()).out, "i\ntov.ninja\n") << "a temporary file is left";
  }
  E2eTree tree;
  tree.write("x.md", "x");
  ProcessResult result = tree.generate("e2e_bad.tov", {"--tov-file", "x.md"});
  EXPECT_NE(result.out.find("|TOV            |"), std::string::npos);
  EXPECT_NE(result.out.find("ERROR: No rules found that matches filename 'x.md' with ending '.md'\n"),
            std::string::npos);
  result = tree.generate("e2e_bad.tov", {"--tov-rule-file", "rules/none.ninja"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err,
            "ERROR: Couldn't copy build rule file '" + source_dir() + "sdk/rules/none.ninja'\n");
}
