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
               std::string(2000 + i * 37, (char)('a' + i % 26)));
}

// Makes a tree of files, generates its build and builds it; the archive's path.
std::string build_tree(const E2eTree& tree, int files, const std::string& archive) {
  make_tree(tree, files);
  EXPECT_EQ(tree.generate(archive, {"--tov-dir", "assets/"}).status, 0);
  EXPECT_EQ(tree.ninja().status, 0);
  return E2eTree::archive_path(archive);
}

}  // namespace

// The files of folder whose names begin with '.': temporary files left.
std::string hidden_files(const std::string& folder) {
  return run_shell("ls -A " + shell_quote(folder) + " | grep '^\\.' ; true").out;
}

TEST(E2eFaults, APackCutShortAtAnyWriteLeavesTheLastGoodArchive) {
  E2eTree tree;
  std::string archive = build_tree(tree, 40, "e2e_full.tov");
  std::string folder = archive.substr(0, archive.rfind('/'));
  const std::string good = read_file(archive);
  ASSERT_GT(good.size(), 100000u);
  tree.write("assets/d0/f0.bin", "changed");
  tree.age("assets/d0/f0.bin", 5);
  ASSERT_EQ(tree.ninja(shell_quote(tree.path("out/i/all.fileinfo"))).status, 0);
  // The pack under a file size limit (set in the build's copy of the rule
  // file): with the limit's signal ignored, writes fail as on a full disk at
  // that point; without, the step is killed there. Either way the last good
  // archive stays, byte for byte.
  std::string rules = read_file(tree.path("out/tov.ninja"));
  size_t at = rules.find("&& \"$boot\"", rules.find("rule tov"));
  ASSERT_NE(at, std::string::npos);
  for (int kib : {1, 8, 48, 96}) {
    for (bool killed : {false, true}) {
      SCOPED_TRACE(std::to_string(kib) + " KiB" + (killed ? ", killed" : ""));
      std::string limited = rules;
      limited.insert(at + 3, (killed ? "" : "trap '' XFSZ && ") + std::string("ulimit -f ") +
                                 std::to_string(kib) + " && ");
      write_file(tree.path("out/tov.ninja"), limited);
      ProcessResult cut = tree.ninja();
      EXPECT_NE(cut.status, 0);
      EXPECT_TRUE(read_file(archive) == good);
      if (killed) {  // a killed step cannot clean up
        run_shell("rm -f " + shell_quote(folder) + "/.e2e_full.tov.*.tmp");
        continue;
      }
      EXPECT_NE(cut.out.find("ERROR: Couldn't write '" + archive + "' (is the disk full?)"),
                std::string::npos)
          << cut.out;
      EXPECT_EQ(hidden_files(folder), "");
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
  remove(archive.c_str());
}

TEST(E2eFaults, AGameMappingTheArchiveKeepsReadingItAcrossARebuild) {
  E2eTree tree;
  std::string archive = build_tree(tree, 60, "e2e_mapped.tov");
  std::map<std::string, std::string> before = contents(archive);
  OpenedArchive game(archive);
  // The rebuild shrinks the archive to a sixth of its size.
  run_shell("rm -r assets/d1 assets/d2 assets/d3 assets/d4", tree.root());
  ASSERT_EQ(tree.generate("e2e_mapped.tov", {"--tov-dir", "assets/"}).status, 0);
  ASSERT_EQ(tree.ninja().status, 0);
  EXPECT_EQ(contents(archive).size(), 12u);
  EXPECT_EQ(contents(game), before);  // every byte of the old mapping
  remove(archive.c_str());
}

TEST(E2eFaults, FullDiskDuringTheCatalogue) {
  E2eTree tree;
  build_tree(tree, 400, "e2e_full_catalogue.tov");
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
  std::string catalogue = read_file(tree.path("out/i/all.fileinfo"));
  ProcessResult full = tree.ninja();
  EXPECT_NE(full.status, 0);
  EXPECT_NE(full.out.find("ERROR: Couldn't write '" + tree.path("out/i/all.fileinfo") +
                          "' (is the disk full?)"),
            std::string::npos)
      << full.out;
  // The last catalogue stays whole, older than its changed input: Ninja runs
  // the step again.
  EXPECT_TRUE(read_file(tree.path("out/i/all.fileinfo")) == catalogue);
  EXPECT_EQ(hidden_files(tree.path("out/i")), "");
  EXPECT_EQ(tree.ninja("-n").out.find("no work to do"), std::string::npos);
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
