// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "e2e_tree.h"
#include "tov/tov_archive.h"

namespace {

// Every packed file's bytes by name, the catalogue left out (it records
// modification times, which differ between any two builds).
std::map<std::string, std::string> contents(const OpenedArchive& archive) {
  std::map<std::string, std::string> files;
  for (const TovFileInfo& info : archive.files())
    if (std::string(info.name) != "all.fileinfo")
      files[info.name] = std::string((const char*)info.data, info.size) + "#" +
                         std::to_string(info.type);
  return files;
}

std::map<std::string, std::string> contents(const std::string& path) {
  OpenedArchive archive(path);  // the records point into its mapping
  return contents(archive);
}

void make_tree(const E2eTree& tree, int files) {
  for (int i = 0; i < files; ++i)
    tree.write("assets/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".bin",
               std::string(i == 7 ? 100000 : 2000 + i * 37, (char)('a' + i % 26)));
}

// Makes a tree of files, generates its build and builds it; the archive's path.
std::string build_tree(const E2eTree& tree, int files, const std::string& archive) {
  make_tree(tree, files);
  tree.build(archive, {"--tov-dir", "assets/"});
  return E2eTree::archive_path(archive);
}

}  // namespace

// The files of folder whose names begin with '.': temporary files left.
std::string hidden_files(const std::string& folder) {
  return run_shell("ls -A " + shell_quote(folder) + " | grep '^\\.' ; true").out;
}

// A step cut short at a write leaves its last good output, byte for byte.
// The limit is set in the build's copy of the rule file: with its signal
// ignored, writes fail there as on a full disk; without, the step is killed
// there. The catalogue and the pack are cut at several points.
TEST(E2eFaults, AStepCutShortAtAnyWriteLeavesItsLastGoodOutput) {
  E2eTree tree;
  std::string archive = build_tree(tree, 40, "e2e_full.tov");
  std::string catalogue = tree.path("out/i/all.fileinfo");
  ASSERT_GT(read_file(archive).size(), 100000u);
  tree.write("assets/d0/f0.bin", "changed");
  tree.age("assets/d0/f0.bin", 5);
  const std::string rules = read_file(tree.path("out/tov.ninja"));
  struct Cut {
    const char* rule;
    int kib;
    std::string output;
  } cuts[] = {{"fileinfo", 0, catalogue}, {"tov", 1, archive}, {"tov", 48, archive},
              {"tov", 96, archive}};
  for (const Cut& cut : cuts) {
    for (bool killed : {false, true}) {
      SCOPED_TRACE(std::string(cut.rule) + " at " + std::to_string(cut.kib) + " KiB" +
                   (killed ? ", killed" : ""));
      const std::string good = read_file(cut.output);
      std::string limited = rules;
      size_t at = limited.find("command = ", limited.find(std::string("rule ") + cut.rule));
      limited.insert(at + 10, (killed ? "" : "trap '' XFSZ && ") + std::string("ulimit -f ") +
                                 std::to_string(cut.kib) + " && ");
      write_file(tree.path("out/tov.ninja"), limited);
      ProcessResult result = tree.ninja();
      EXPECT_NE(result.status, 0);
      EXPECT_TRUE(read_file(cut.output) == good);
      std::string folder = cut.output.substr(0, cut.output.rfind('/'));
      if (killed) {  // a killed step cannot clean up
        run_shell("rm -f " + shell_quote(folder) + "/.*.tmp");
        continue;
      }
      EXPECT_NE(result.out.find("ERROR: Couldn't write '" + cut.output + "' (is the disk full?)"),
                std::string::npos)
          << result.out;
      EXPECT_EQ(hidden_files(folder), "");
      // Older than its changed input, the step runs again next time.
      EXPECT_EQ(tree.ninja("-n").out.find("no work to do"), std::string::npos);
    }
  }
  write_file(tree.path("out/tov.ninja"), rules);
  // Space is back: the next build packs the new archive.
  ProcessResult again = tree.ninja();
  ASSERT_EQ(again.status, 0) << again.out;
  std::string bytes = read_file(archive);
  char message[256];
  EXPECT_TRUE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, message,
                                 sizeof(message)))
      << message;
  EXPECT_EQ(contents(archive).size(), 40u);
  EXPECT_EQ(contents(archive)["d0/f0.bin"], "changed#2");
}

TEST(E2eFaults, AGameMappingTheArchiveKeepsReadingItAcrossARebuild) {
  E2eTree tree;
  std::string archive = build_tree(tree, 60, "e2e_mapped.tov");
  std::map<std::string, std::string> before = contents(archive);
  OpenedArchive game(archive);
  // The rebuild shrinks the archive to a sixth of its size.
  run_shell("rm -r assets/d1 assets/d2 assets/d3 assets/d4", tree.root());
  ASSERT_EQ(tree.build("e2e_mapped.tov", {"--tov-dir", "assets/"}).status, 0);
  EXPECT_EQ(contents(archive).size(), 12u);
  EXPECT_EQ(contents(game), before);  // every byte of the old mapping
}

TEST(E2eFaults, BuildKilledHalfWayResumesToTheCleanResult) {
  E2eTree tree;
  make_tree(tree, 200);
  ASSERT_EQ(tree.generate("e2e_killed.tov", {"--tov-dir", "assets/"}).status, 0);
  std::string archive = E2eTree::archive_path("e2e_killed.tov");
  // Kill Ninja and its steps partway through the build.
  run_shell("(ninja -C out -j 2 > /dev/null 2>&1 & pid=$!; sleep 0.15; kill -9 $pid; "
            "pkill -9 -f 'tov-command.*" + tree.root() + "' ; wait) ; true",
            tree.root());
  ProcessResult resumed = tree.ninja();
  ASSERT_EQ(resumed.status, 0) << resumed.out;
  std::map<std::string, std::string> after_kill = contents(archive);
  // A clean build of the same tree.
  ASSERT_EQ(run_shell("rm -rf out/i out/.ninja_log out/.ninja_deps", tree.root()).status, 0);
  ASSERT_EQ(tree.build("e2e_killed.tov", {"--tov-dir", "assets/"}).status, 0);
  EXPECT_EQ(after_kill.size(), 200u);
  EXPECT_EQ(after_kill, contents(archive));
}
