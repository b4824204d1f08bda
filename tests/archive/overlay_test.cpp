// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "archive_builder.h"
#include "build_rules/invocations.h"
#include "opened_archive.h"
#include "tov/tov_archive.h"

namespace {

// Builds of one tree into one development archive, as ninja runs the pack
// of a build generated with --tov-overlay.
class DevelopmentArchive : public testing::Test {
 protected:
  void build(const std::map<std::string, std::string>& tree) {
    std::vector<PackedFile> files;
    for (const auto& [name, contents] : tree) files.push_back({name, contents, 2});
    // A catalogue reuses the record of a file whose time did not change:
    // each build writes its files a clock tick after the one before.
    usleep(20000);
    build_archive(dir_.path(), files, archive_, {"--tov-overlay"});
  }
  bool overlay_exists() { return access((archive_ + ".overlay").c_str(), F_OK) == 0; }
  std::map<std::string, int> reload(TovArchiveSet* set) {
    std::map<std::string, int> kinds;
    std::vector<TovArchiveChange> changes(tov_archive_reload(set, 0));
    tov_archive_changes(set, changes.data(), changes.size());
    for (const TovArchiveChange& change : changes) kinds[change.file.name] = (int)change.kind;
    return kinds;
  }
  TestHost host_;
  TempDir dir_;
  std::string archive_ = dir_ / "game.tov";
};

}  // namespace

TEST_F(DevelopmentArchive, OverlayHoldsTheChangeAndHidesDeletedNames) {
  std::map<std::string, std::string> tree;
  for (int i = 0; i < 12; ++i) tree["f" + std::to_string(i) + ".bin"] = "one " + std::to_string(i);
  tree["d/gone.bin"] = "soon deleted";
  build(tree);
  EXPECT_FALSE(overlay_exists());
  OpenedArchive game(archive_);
  std::string whole = read_file(archive_);

  tree["f1.bin"] = "two";
  tree.erase("d/gone.bin");
  tree["d/new.bin"] = "new";
  build(tree);
  EXPECT_EQ(read_file(archive_), whole) << "the archive itself stays as it was";
  ASSERT_TRUE(overlay_exists());
  std::string overlay = read_file(archive_ + ".overlay");
  EXPECT_TRUE(tov_archive_verify(overlay.data(), overlay.size(), TOV_VERIFY_CONTENT, nullptr, 0));
  {
    // Verification names a damaged list of hidden names and a header that
    // claims what the archive lacks.
    size_t name = overlay.find("d/gone.bin");
    ASSERT_NE(name, std::string::npos);
    std::string plain = read_file(archive_);
    struct Case {
      std::string bytes;
      size_t at;
      std::string with, message;
    } cases[] = {{overlay, name, "D", "all.deleted name out of range or not its key's"},
                 {overlay, 12, std::string("\x04", 1), "header flags unknown"},
                 {plain, 12, std::string("\x03", 1), "flagged to hide names, but no all.deleted"}};
    for (Case& c : cases) {
      c.bytes.replace(c.at, c.with.size(), c.with);
      char message[200] = "";
      EXPECT_FALSE(tov_archive_verify(c.bytes.data(), c.bytes.size(), 0, message, sizeof(message)));
      EXPECT_EQ(std::string(message).rfind(c.message, 0), 0u) << message;
    }
  }
  std::map<std::string, int> expected = {{"f1.bin", TOV_CHANGE_CHANGED},
                                         {"d/gone.bin", TOV_CHANGE_REMOVED},
                                         {"d/new.bin", TOV_CHANGE_ADDED}};
  EXPECT_EQ(reload(game.set), expected);

  // The game reads the tree as built: the deleted name is found nowhere,
  // by name, by hash, in a batch or in a listing with or without dupes.
  EXPECT_EQ(game.bytes("f1.bin"), "two");
  EXPECT_EQ(game.bytes("f2.bin"), "one 2");
  TovFileInfo info[32];
  EXPECT_FALSE(tov_archive_access_file(game.set, "d/gone.bin", info));
  u64 gone = tov_archive_hash("d/gone.bin", 10);
  EXPECT_FALSE(tov_archive_access_file_by_hash(game.set, gone, info));
  const char* names[] = {"f0.bin", "d/gone.bin", "d/new.bin"};
  EXPECT_EQ(tov_archive_access_files(game.set, names, 3, info, 32), 2u);
  u64 hashes[40];
  for (u64& hash : hashes) hash = gone;
  hashes[7] = tov_archive_hash("f3.bin", 6);
  EXPECT_EQ(tov_archive_access_files_by_hash(game.set, hashes, 40, info, 32), 1u);
  EXPECT_EQ(tov_archive_index_directory(game.set, "d/", 0, info, 32), 1u);
  EXPECT_STREQ(info[0].name, "d/new.bin");
  EXPECT_EQ(tov_archive_index_directory_with_dupes(game.set, "d/", 0, info, 32), 1u);
  EXPECT_EQ(tov_archive_index_directory(game.set, "", 2, nullptr, 0), 15u)
      << "13 files, all.fileinfo and all.deleted";

  // Back as it was packed: the overlay goes, and the game sees it undone.
  tree["f1.bin"] = "one 1";
  tree["d/gone.bin"] = "soon deleted";
  tree.erase("d/new.bin");
  build(tree);
  EXPECT_FALSE(overlay_exists());
  expected = {{"f1.bin", TOV_CHANGE_CHANGED},
              {"d/gone.bin", TOV_CHANGE_ADDED},
              {"d/new.bin", TOV_CHANGE_REMOVED}};
  EXPECT_EQ(reload(game.set), expected);
  EXPECT_EQ(game.bytes("d/gone.bin"), "soon deleted");
  tov_archive_release(game.set, tov_archive_generation(game.set));

  // A change of a quarter of the files folds everything into a new archive.
  for (int i = 0; i < 4; ++i) tree["f" + std::to_string(i) + ".bin"] = "three";
  build(tree);
  EXPECT_FALSE(overlay_exists());
  EXPECT_NE(read_file(archive_), whole);
  EXPECT_EQ(reload(game.set).size(), 4u);
  EXPECT_EQ(game.bytes("f3.bin"), "three");
  // An overlay of an earlier build of the archive is no overlay of this one.
  write_file(archive_ + ".overlay", overlay);
  EXPECT_EQ(reload(game.set).size(), 0u);
  OpenedArchive fresh(archive_);
  EXPECT_EQ(fresh.bytes("f1.bin"), "three");
  EXPECT_EQ(fresh.bytes("d/gone.bin"), "soon deleted");
}

// What a watcher runs after a save: the files just built go into the
// overlay as they are, without the rest of the build.
TEST_F(DevelopmentArchive, OverlayCommandTakesOnlyTheFilesGiven) {
  std::map<std::string, std::string> tree;
  for (int i = 0; i < 8; ++i) tree["f" + std::to_string(i) + ".bin"] = "one";
  tree["f7.bin"] = "deleted";
  build(tree);
  tree.erase("f7.bin");
  build(tree);  // an overlay that hides f7.bin
  OpenedArchive game(archive_);
  auto overlay = [&](const std::vector<std::string>& names) {
    std::vector<std::string> args = {"--tov-command-in-file"};
    for (const std::string& name : names) {
      write_file(dir_ / ("i/" + name), tree[name]);
      args.push_back(dir_ / ("i/" + name));
    }
    args.insert(args.end(), {"--tov-command-out-file", archive_, "--tov-types"});
    for (size_t i = 0; i < names.size(); ++i) args.push_back("2");
    parse_arguments(args);
    run_command("overlay", (dir_.path() + "/").c_str(), "/", "i/");
  };
  tree["f1.bin"] = "saved";
  tree["f2.bin"] = "saved too";
  overlay({"f1.bin", "f2.bin"});
  EXPECT_EQ(reload(game.set), (std::map<std::string, int>{{"f1.bin", TOV_CHANGE_CHANGED},
                                                          {"f2.bin", TOV_CHANGE_CHANGED}}));
  EXPECT_EQ(game.bytes("f2.bin"), "saved too");
  TovFileInfo info;
  EXPECT_FALSE(tov_archive_access_file(game.set, "f7.bin", &info)) << "still hidden";
  // Saved back as packed: it leaves the overlay; the other stays.
  tree["f1.bin"] = "one";
  overlay({"f1.bin"});
  EXPECT_EQ(reload(game.set), (std::map<std::string, int>{{"f1.bin", TOV_CHANGE_CHANGED}}));
  EXPECT_EQ(game.bytes("f1.bin"), "one");
  EXPECT_EQ(game.bytes("f2.bin"), "saved too");
  // A hidden name built again is a file again.
  tree["f7.bin"] = "back";
  overlay({"f7.bin"});
  EXPECT_EQ(reload(game.set), (std::map<std::string, int>{{"f7.bin", TOV_CHANGE_ADDED}}));
  EXPECT_EQ(game.bytes("f7.bin"), "back");
  // The whole build afterwards finds the overlay as it would write it.
  std::string before = read_file(archive_ + ".overlay");
  testing::internal::CaptureStdout();
  build(tree);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("is up to date"), std::string::npos);
  EXPECT_EQ(read_file(archive_ + ".overlay"), before);

  // Folded when asked: the archive alone holds what the game read.
  parse_arguments({"--tov-command-out-file", archive_});
  run_command("fold", (dir_.path() + "/").c_str(), "/", "i/");
  EXPECT_FALSE(overlay_exists());
  EXPECT_EQ(reload(game.set).size(), 0u) << "the same files, from one archive now";
  EXPECT_EQ(game.bytes("f2.bin"), "saved too");
  EXPECT_EQ(game.bytes("f7.bin"), "back");
  std::string folded = read_file(archive_);
  EXPECT_TRUE(tov_archive_verify(folded.data(), folded.size(), TOV_VERIFY_CONTENT, nullptr, 0));
}

// What the development commands refuse, each with its message.
TEST_F(DevelopmentArchive, MisuseIsRefusedByName) {
  build({{"a.bin", "a"}});  // a development archive
  TempDir plain_dir;
  std::string plain = plain_dir / "plain.tov";
  build_archive(plain_dir.path(), {{"a.bin", "a", 2}}, plain);
  std::string wd = dir_.path() + "/";
  struct Case {
    const char* command;
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {"overlay",
       {"--tov-command-in-file", wd + "i/a.bin", "--tov-command-out-file", plain, "--tov-types",
        "2"},
       "ERROR: '" + plain +
           "' is no development archive: build it whole first (ninja, in a "
           "build generated with --tov-overlay)"},
      {"overlay",
       {"--tov-command-in-file", wd + "i/a.bin", "--tov-command-out-file", archive_},
       "Each input file must be identified with a specific TOV_TYPE_*"},
      {"fold",
       {"--tov-command-out-file", plain},
       "ERROR: '" + plain + "' is no development archive (packed with --tov-overlay)"},
      {"tov",
       {"--tov-command-in-file", wd + "i/a.bin", wd + "i/all.fileinfo", "--tov-command-out-file",
        archive_, "--tov-types", "2", "2", "--tov-overlay", "--tov-ignore-files-in-archives",
        plain},
       "ERROR: --tov-overlay packs a development archive, which is no patch: leave out "
       "--tov-ignore-files-in-archives and --tov-only-include-files-with-ending"},
  };
  for (const Case& c : cases) {
    parse_arguments(c.args);
    EXPECT_EXIT(run_command(c.command, wd.c_str(), "/", "i/"), testing::ExitedWithCode(255),
                exit_message(c.message))
        << c.message;
  }
}
