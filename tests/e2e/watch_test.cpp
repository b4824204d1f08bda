// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <stdio.h>

#include "background_process.h"
#include "e2e_tree.h"

namespace {

// Lines the watcher prints after each build, whichever way it went.
int builds(const std::string& output) {
  return BackgroundProcess::occurrences(output, ": built in ") +
         BackgroundProcess::occurrences(output, ": FAILED after ");
}

// The last build's line.
std::string last_line(const std::string& output) {
  size_t end = output.find_last_of('\n');
  size_t begin = end == std::string::npos ? std::string::npos : output.find_last_of('\n', end - 1);
  return output.substr(begin == std::string::npos ? 0 : begin + 1, end - begin);
}

}  // namespace

// A day of edits against a running watcher: saves by rename, a step that
// fails and is mended, a new folder, a deleted file, a folder deleted and
// made again, a burst of hundreds of files (one build), an ignored file
// (none), and Ctrl-C.
TEST(E2eWatch, BuildsEachChangeOnceAndSurvivesFailures) {
  E2eTree tree;
  tree.write("assets/a.bin", "a");
  tree.write("assets/b.bin", "b");
  tree.write("assets/sub/c.bin", "c");
  tree.write("assets/e.json", "{\"k\": 1}");
  std::vector<std::string> options = {
      "--tov-dir",       "assets/",           "--tov-out-dir", "out",
      "--tov-overlay",   "--tov-regenerate",  "--tov-ignore",  "*.swp",
      "--tov-rule-file", "rules/entity.ninja"};
  tree.build("watched.tov", options);
  std::string archive = tree.path("out/watched.tov");
  BackgroundProcess watcher(shell_quote(host_path()) + " --tov-watch out --tov-watch-settle 300",
                            tree.root());
  auto wait_builds = [&](int count) {
    for (int waited = 0; waited < 6000 && builds(watcher.output()) < count; ++waited) usleep(20000);
    return builds(watcher.output()) == count;
  };
  ASSERT_TRUE(wait_builds(1)) << watcher.output();

  // An editor's save: a temporary file renamed over the asset.
  tree.write("assets/.a.bin.swp", "a saved");
  ASSERT_EQ(rename(tree.path("assets/.a.bin.swp").c_str(), tree.path("assets/a.bin").c_str()), 0);
  ASSERT_TRUE(wait_builds(2)) << watcher.output();
  // Only its own step and the overlay: no whole build, no progress lines.
  EXPECT_NE(last_line(watcher.output()).find("assets/a.bin changed: built in"), std::string::npos)
      << watcher.output();
  EXPECT_EQ(last_line(watcher.output()).find("whole build"), std::string::npos);
  EXPECT_EQ(watcher.output().find("] COPY"), std::string::npos);
  EXPECT_EQ(OpenedArchive(archive).bytes("a.bin"), "a saved");

  tree.write("assets/e.json", "{\"k\": ");
  ASSERT_TRUE(wait_builds(3)) << watcher.output();
  EXPECT_NE(last_line(watcher.output()).find("FAILED"), std::string::npos) << watcher.output();
  EXPECT_NE(watcher.output().find("e.json:1:"), std::string::npos) << watcher.output();
  tree.write("assets/e.json", "{\"k\": 2}");
  ASSERT_TRUE(wait_builds(4)) << watcher.output();
  EXPECT_EQ(OpenedArchive(archive).bytes("e.json"), "{\"k\":2}");

  tree.write("assets/new/deeper/n.bin", "new");
  ASSERT_TRUE(wait_builds(5)) << watcher.output();
  EXPECT_EQ(OpenedArchive(archive).bytes("new/deeper/n.bin"), "new");

  ASSERT_EQ(remove(tree.path("assets/b.bin").c_str()), 0);
  ASSERT_TRUE(wait_builds(6)) << watcher.output();
  EXPECT_NE(last_line(watcher.output()).find("assets/b.bin deleted"), std::string::npos);
  TovFileInfo info;
  EXPECT_FALSE(tov_archive_access_file(OpenedArchive(archive).set, "b.bin", &info));

  // A folder deleted, then made again: both followed.
  ASSERT_EQ(run_shell("rm -r assets/sub", tree.root()).status, 0);
  ASSERT_TRUE(wait_builds(7)) << watcher.output();
  EXPECT_FALSE(tov_archive_access_file(OpenedArchive(archive).set, "sub/c.bin", &info));
  tree.write("assets/sub/c.bin", "c again");
  ASSERT_TRUE(wait_builds(8)) << watcher.output();
  EXPECT_EQ(OpenedArchive(archive).bytes("sub/c.bin"), "c again");

  for (int i = 0; i < 400; ++i)
    tree.write("assets/burst/f" + std::to_string(i) + ".bin", std::to_string(i));
  ASSERT_TRUE(wait_builds(9)) << watcher.output();
  EXPECT_NE(last_line(watcher.output()).find("added"), std::string::npos);
  EXPECT_EQ(OpenedArchive(archive).bytes("burst/f399.bin"), "399");
  // Ignored by generation's pattern: nothing to build.
  tree.write("assets/x.swp", "editor state");
  usleep(1500000);
  EXPECT_EQ(builds(watcher.output()), 9) << watcher.output();

  EXPECT_EQ(watcher.interrupt(), 0);
  EXPECT_NE(watcher.output().find("tov watch: stopped"), std::string::npos);
}

TEST(E2eWatch, NeedsABuildFolder) {
  E2eTree tree;
  ProcessResult result = run_shell(shell_quote(host_path()) + " --tov-watch .", tree.root());
  EXPECT_EQ(result.status, 255);
  EXPECT_NE(result.err.find("ERROR: No build.ninja in"), std::string::npos) << result.err;
}

// A game that holds a record across the reload of a development archive:
// the record keeps the old bytes until the game releases it, and the
// changes name every file added, changed and deleted.
TEST(E2eWatch, AReaderKeepsItsRecordsUntilItReleasesThem) {
  E2eTree tree;
  tree.write("assets/held.bin", "old bytes");
  tree.write("assets/gone.bin", "deleted soon");
  tree.write("assets/kept.bin", "kept");
  std::vector<std::string> options = {"--tov-dir", "assets/",       "--tov-out-dir",
                                      "out",       "--tov-overlay", "--tov-regenerate"};
  tree.build("read.tov", options);
  BackgroundProcess reader(shell_quote(bin_dir() + "reload_reader") + " out/read.tov held.bin",
                           tree.root());
  ASSERT_TRUE(reader.wait_for("ready\n")) << reader.output();
  tree.write("assets/held.bin", "new bytes, longer");
  tree.write("assets/added.bin", "added");
  ASSERT_EQ(remove(tree.path("assets/gone.bin").c_str()), 0);
  ASSERT_EQ(tree.ninja().status, 0);
  ASSERT_TRUE(reader.wait_for("now: ")) << reader.output();
  EXPECT_EQ(reader.output(),
            "before: old bytes\nready\nadded added.bin 5\nchanged held.bin 17\n"
            "removed gone.bin 12\nheld: old bytes\nnow: new bytes, longer\n");
}

// A tree scanned from its top holds the build's own folders, which the
// watcher leaves alone: the build's writes there wake no build.
TEST(E2eWatch, NeverWatchesTheFoldersTheBuildWrites) {
  E2eTree tree;
  tree.write("a.bin", "a");
  tree.write("sub/b.bin", "b");
  tree.build("top.tov", {"--tov-dir", "./", "--tov-ignore", "./out/*", "./notes/*", "--tov-out-dir",
                         "out", "--tov-overlay", "--tov-regenerate"});
  BackgroundProcess watcher(shell_quote(host_path()) + " --tov-watch out", tree.root());
  ASSERT_TRUE(watcher.wait_for(": built in ")) << watcher.output();
  EXPECT_NE(watcher.output().find("tov watch: 2 folders"), std::string::npos) << watcher.output();
  tree.write("a.bin", "a2");
  ASSERT_TRUE(watcher.wait_for(": built in ", 2)) << watcher.output();
  // Beside the tree, in the folder watched for the tree's own deletion:
  // none of the tree's business, however deep.
  std::string sibling = tree.root().substr(0, tree.root().size() - 1) + " beside";
  std::string deep = sibling;
  for (int i = 0; i < 60; ++i) deep += "/abcdefghij";
  ASSERT_EQ(run_shell("mkdir -p " + shell_quote(deep)).status, 0);
  // Ignored as generation spelt the pattern: from its "./".
  tree.write("notes/todo.txt", "later");
  usleep(1500000);
  run_shell("rm -rf " + shell_quote(sibling));
  EXPECT_EQ(builds(watcher.output()), 2) << watcher.output();
  EXPECT_EQ(OpenedArchive(tree.path("out/top.tov")).bytes("a.bin"), "a2");
  EXPECT_EQ(watcher.interrupt(), 0);
}
