// SPDX-License-Identifier: Zlib
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
      {"--tov-working-dir /w --tov-command copy", "No SDK dir set\n"},
      {"--tov-working-dir /w --tov-sdk-dir /s --tov-intermediate-dir i", "No output file set\n"},
      {"--tov-working-dir \"/w'q\" --tov-sdk-dir /s --tov-intermediate-dir i --tov-out x.tov",
       "ERROR: Path '/w'q/' holds a quote, '$' or '`', which build.ninja cannot carry\n"},
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
    EXPECT_EQ(run_shell("ls -A out", tree.root()).out, "i\ntov.ninja\n")
        << "a temporary file is left";
  }
  E2eTree tree;
  ProcessResult result = tree.generate("e2e_bad.tov", {"--tov-rule-file", "rules/none.ninja"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err,
            "ERROR: Couldn't copy build rule file '" + source_dir() + "sdk/rules/none.ninja'\n");
}

// A device or a pipe among the inputs would fill the disk or hang the build:
// generation refuses it by name, whether scanned, behind a link or named.
TEST(E2eFatal, InputsThatAreNotRegularFiles) {
  struct Case {
    const char* setup;
    std::vector<std::string> options;
    const char* named;
  } cases[] = {
      {"mkfifo assets/pipe.bin", {"--tov-dir", "assets/"}, "assets/pipe.bin"},
      {"ln -s /dev/zero assets/zero.bin", {"--tov-dir", "assets/"}, "assets/zero.bin"},
      {"mkfifo pipe.bin", {"--tov-file", "pipe.bin"}, "pipe.bin"},
  };
  for (const Case& c : cases) {
    E2eTree tree;
    tree.write("assets/a.bin", "a");
    ASSERT_EQ(run_shell(c.setup, tree.root()).status, 0);
    ProcessResult result = tree.generate("e2e_special.tov", c.options);
    EXPECT_EQ(result.status, 255) << c.setup;
    EXPECT_EQ(result.err, std::string("ERROR: '") + c.named +
                              "' is not a regular file (a device, a pipe or a socket), "
                              "aborting...\n");
  }
  // A link that leads out of the folder scanned is packed as its target.
  E2eTree tree;
  tree.write("outside/real.bin", "real bytes");
  ASSERT_EQ(run_shell("mkdir assets && ln -s ../outside/real.bin assets/linked.bin && "
                      "ln -s ../outside/gone.bin assets/gone.bin && ln -s loop.bin assets/loop.bin",
                      tree.root())
                .status,
            0);
  ProcessResult result = tree.generate(
      "e2e_linked.tov", {"--tov-dir", "assets/", "--tov-verbose", "--tov-regenerate"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("'assets/linked.bin' is a link to '" + tree.path("outside/real.bin") +
                            "', outside the folder scanned: packed as that file\n"),
            std::string::npos)
      << result.out;
  const std::string dangling =
      "WARNING: 'assets/gone.bin' is a link to '../outside/gone.bin', which does not exist: "
      "left out\n";
  size_t said = result.out.find(dangling);
  EXPECT_NE(said, std::string::npos) << result.out;
  EXPECT_EQ(result.out.find(dangling, said + 1), std::string::npos) << "said twice";
  EXPECT_NE(result.out.find("WARNING: 'assets/loop.bin' is a link to 'loop.bin', which cannot be "
                            "followed (Too many levels of symbolic links): left out\n"),
            std::string::npos)
      << result.out;
  ASSERT_EQ(tree.ninja().status, 0);
  EXPECT_EQ(OpenedArchive(E2eTree::archive_path("e2e_linked.tov")).bytes("linked.bin"),
            "real bytes");
}
