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
std::map<std::string, std::string> contents(const std::string& path) {
  std::map<std::string, std::string> files;
  OpenedArchive archive(path);  // the records point into its mapping
  for (const TovFileInfo& info : archive.files())
    if (std::string(info.name) != "all.fileinfo")
      files[info.name] = std::string((const char*)info.data, info.size) + "#" +
                         std::to_string(info.type);
  return files;
}

void make_tree(const E2eTree& tree, int files) {
  for (int i = 0; i < files; ++i)
    tree.write("assets/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".bin",
               std::string(2000 + i * 37, (char)('a' + i % 26)));
}

}  // namespace

TEST(E2eFaults, FullDiskDuringPackEndsClearlyAndTheNextBuildIsRight) {
  E2eTree tree;
  make_tree(tree, 40);
  ASSERT_EQ(tree.generate("e2e_full.tov", {"--tov-dir", "assets/"}).status, 0);
  // Everything but the pack, then the pack under a 16 KiB file size limit
  // with the limit's signal ignored: writes fail as on a full disk.
  ASSERT_EQ(tree.ninja(shell_quote(tree.path("out/i/all.fileinfo"))).status, 0);
  std::string archive = E2eTree::archive_path("e2e_full.tov");
  ProcessResult full = run_shell("trap '' XFSZ; ulimit -f 16; ninja -C out", tree.root());
  EXPECT_NE(full.status, 0);
  EXPECT_NE(full.out.find("ERROR: Couldn't write '" + archive + "' (is the disk full?)"),
            std::string::npos)
      << full.out;
  // Space is back: the next build packs a correct archive.
  ProcessResult again = tree.ninja();
  ASSERT_EQ(again.status, 0) << again.out;
  std::string bytes = read_file(archive);
  char message[256];
  EXPECT_TRUE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, message,
                                 sizeof(message)))
      << message;
  EXPECT_EQ(contents(archive).size(), 40u);
  remove(archive.c_str());
}

TEST(E2eFaults, FullDiskDuringTheCatalogue) {
  E2eTree tree;
  make_tree(tree, 400);
  ASSERT_EQ(tree.generate("e2e_full_catalogue.tov", {"--tov-dir", "assets/"}).status, 0);
  ASSERT_EQ(tree.ninja().status, 0);
  // One file changes; the catalogue step runs under a 4 KiB file size limit
  // (set in the build's copy of the rule file), too small for its 9,600 bytes.
  tree.write("assets/d0/f0.bin", "changed");
  tree.age("assets/d0/f0.bin", 5);
  std::string rules = read_file(tree.path("out/tov.ninja"));
  std::string limited = rules;
  size_t at = limited.find("&& \"$boot\"", limited.find("rule fileinfo"));
  ASSERT_NE(at, std::string::npos);
  limited.insert(at + 3, "trap '' XFSZ && ulimit -f 4 && ");
  write_file(tree.path("out/tov.ninja"), limited);
  ProcessResult full = tree.ninja();
  EXPECT_NE(full.status, 0);
  EXPECT_NE(full.out.find("ERROR: Couldn't write '" + tree.path("out/i/all.fileinfo") +
                          "' (is the disk full?)"),
            std::string::npos)
      << full.out;
  write_file(tree.path("out/tov.ninja"), rules);
  ASSERT_EQ(tree.ninja().status, 0);
  std::map<std::string, std::string> packed = contents(E2eTree::archive_path("e2e_full_catalogue.tov"));
  EXPECT_EQ(packed.size(), 400u);
  EXPECT_EQ(packed["d0/f0.bin"], "changed#2");
  remove(E2eTree::archive_path("e2e_full_catalogue.tov").c_str());
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
  ASSERT_EQ(tree.generate("e2e_killed.tov", {"--tov-dir", "assets/"}).status, 0);
  ASSERT_EQ(tree.ninja().status, 0);
  EXPECT_EQ(after_kill.size(), 200u);
  EXPECT_EQ(after_kill, contents(archive));
  remove(archive.c_str());
}
