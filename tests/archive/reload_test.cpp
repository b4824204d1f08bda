// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <map>
#include <string>

#include "archive_builder.h"
#include "opened_archive.h"
#include "tov/tov_archive.h"

namespace {

// Packs files beside path and renames the archive over it, as the pack step
// puts its output in place.
void replace_archive(const std::string& path, const std::vector<PackedFile>& files) {
  TempDir work;
  build_archive(work.path(), files, work / "next.tov");
  ASSERT_EQ(rename((work / "next.tov").c_str(), path.c_str()), 0);
}

std::map<std::string, int> changes_of(const TovArchiveSet* set) {
  std::vector<TovArchiveChange> changes(tov_archive_changes(set, nullptr, 0));
  tov_archive_changes(set, changes.data(), changes.size());
  std::map<std::string, int> kinds;
  for (const TovArchiveChange& change : changes) kinds[change.file.name] = (int)change.kind;
  return kinds;
}

}  // namespace

TEST(ArchiveReload, ReplacedArchiveKeepsOldRecordsUntilReleased) {
  TestHost host;
  TempDir dir;
  std::string path = dir / "game.tov";
  build_archive(dir / "first", {{"a.bin", "old a", 2}, {"b.bin", "b", 2}, {"c.bin", "c", 2}}, path);
  OpenedArchive archive(path);
  TovArchiveSet* set = archive.set;
  TovFileInfo old_a = archive.file("a.bin");
  EXPECT_EQ(tov_archive_reload(set, 0), 0u) << "nothing replaced yet";
  EXPECT_EQ(tov_archive_generation(set), 0u);

  replace_archive(path, {{"a.bin", "new a!", 2}, {"c.bin", "c", 2}, {"d.bin", "d", 13}});
  // Within the interval the disk is not looked at.
  EXPECT_EQ(tov_archive_reload(set, 60000), 0u);
  EXPECT_EQ(tov_archive_reload(set, 0), 3u);
  EXPECT_EQ(tov_archive_generation(set), 1u);
  std::map<std::string, int> expected = {
      {"a.bin", TOV_CHANGE_CHANGED}, {"b.bin", TOV_CHANGE_REMOVED}, {"d.bin", TOV_CHANGE_ADDED}};
  EXPECT_EQ(changes_of(set), expected);
  TovArchiveChange first;
  EXPECT_EQ(tov_archive_changes(set, &first, 1), 3u);
  // The old record still reads the old bytes; lookups find the new ones.
  EXPECT_EQ(std::string((const char*)old_a.data, old_a.size), "old a");
  EXPECT_EQ(archive.bytes("a.bin"), "new a!");
  TovFileInfo info;
  EXPECT_FALSE(tov_archive_access_file(set, "b.bin", &info));
  EXPECT_EQ(archive.names(), (std::vector<std::string>{"a.bin", "all.fileinfo", "c.bin", "d.bin"}));

  // Nothing replaced since: no new generation, the last changes kept.
  EXPECT_EQ(tov_archive_reload(set, 0), 0u);
  EXPECT_EQ(tov_archive_generation(set), 1u);
  EXPECT_EQ(tov_archive_changes(set, nullptr, 0), 3u);
  tov_archive_release(set, tov_archive_generation(set));

  // Replaced by the same files: a new generation, no name changed. A file
  // that disappears leaves the set as it was.
  TovFileInfo d_of_1 = archive.file("d.bin");
  replace_archive(path, {{"a.bin", "new a!", 2}, {"c.bin", "c", 2}, {"d.bin", "d", 13}});
  EXPECT_EQ(tov_archive_reload(set, 0), 0u);
  EXPECT_EQ(tov_archive_generation(set), 2u);
  // Releasing generation 1's predecessors keeps what generation 1 handed out.
  tov_archive_release(set, 1);
  EXPECT_EQ(std::string((const char*)d_of_1.data, d_of_1.size), "d");
  ASSERT_EQ(remove(path.c_str()), 0);
  EXPECT_EQ(tov_archive_reload(set, 0), 0u);
  EXPECT_EQ(tov_archive_generation(set), 2u);
  EXPECT_EQ(archive.bytes("d.bin"), "d");

  // Once its folder has been quiet for a second, a reload looks at the
  // folder alone; an archive put in place changes the folder.
  usleep(1100000);
  EXPECT_EQ(tov_archive_reload(set, 0), 0u);
  replace_archive(path, {{"d.bin", "dd", 2}});
  EXPECT_EQ(tov_archive_reload(set, 0), 3u);  // a and c removed, d changed
  EXPECT_EQ(archive.bytes("d.bin"), "dd");
}
