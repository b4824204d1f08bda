// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "archive_builder.h"
#include "opened_archive.h"
#include "tov/tov_archive.h"

namespace {

// Three archives that each hold "which.txt" naming themselves.
class ArchiveSet : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a", "b", "c"}) {
      std::string path = dir_ / (std::string(name) + ".tov");
      TempDir files;
      build_archive(files.path(), {{"which.bin", name, 2}}, path);
      paths_.push_back(path);
    }
  }
  // The archive that answers "which.bin", alike singly and in a batch.
  std::string which(TovArchiveSet* set) {
    TovFileInfo info, batch[2];
    const char* twice[] = {"which.bin", "which.bin"};
    u64 found = tov_archive_access_files(set, twice, 2, batch, 2);
    if (!tov_archive_access_file(set, "which.bin", &info)) return found ? "batch only" : "none";
    std::string answer((const char*)info.data, info.size);
    for (u64 i = 0; i < 2; ++i)
      if (found != 2 || std::string((const char*)batch[i].data, batch[i].size) != answer)
        return "batch differs";
    return answer;
  }
  std::string order(TovArchiveSet* set) {
    std::string text;
    TovFileInfo infos[8];
    u64 count = tov_archive_index_directory_with_dupes(set, "", 2, infos, 8);
    for (u64 i = 0; i < count; ++i)
      if (std::string(infos[i].name) == "which.bin")
        text += std::string((const char*)infos[i].data, 1);
    return text;
  }
  TestHost host_;
  TempDir dir_;
  std::vector<std::string> paths_;
};

}  // namespace

TEST_F(ArchiveSet, PrecedenceRemovalAndSavedOrder) {
  TovArchiveSetDesc none = {nullptr, 0};
  TovArchiveSet* set = tov_archive_create(&none);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(which(set), "none");
  EXPECT_TRUE(tov_archive_add_archives(set, nullptr, 0, 0));
  const char* a = paths_[0].c_str();
  const char* b = paths_[1].c_str();
  EXPECT_TRUE(tov_archive_add_archives(set, &a, 1, TOV_ARCHIVE_END));
  EXPECT_EQ(which(set), "a");
  EXPECT_TRUE(tov_archive_add_archives(set, &b, 1, TOV_ARCHIVE_END));
  EXPECT_EQ(which(set), "a");  // at the end: a still wins
  EXPECT_FALSE(tov_archive_remove_archives(set, &b, 1));
  EXPECT_TRUE(tov_archive_add_archives(set, &b, 1, 0));
  EXPECT_EQ(which(set), "b");  // in front
  std::string missing = dir_ / "missing.tov";
  const char* two[] = {paths_[2].c_str(), missing.c_str()};
  EXPECT_FALSE(tov_archive_add_archives(set, two, 2, 0));  // neither is added
  EXPECT_EQ(order(set), "ba");
  tov_archive_destroy(set);
  const char* missing_path = missing.c_str();
  TovArchiveSetDesc bad = {&missing_path, 1};
  EXPECT_EQ(tov_archive_create(&bad), nullptr);

  // Every copy of a path goes, and a saved order comes back.
  const char* all[] = {paths_[0].c_str(), paths_[1].c_str(), paths_[2].c_str()};
  TovArchiveSetDesc desc = {all, 3};
  set = tov_archive_create(&desc);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(order(set), "abc");
  tov_archive_persist_order(set);
  EXPECT_FALSE(tov_archive_remove_archives(set, &all[1], 1));
  EXPECT_EQ(order(set), "ac");
  EXPECT_TRUE(tov_archive_add_archives(set, &all[1], 1, 0));
  EXPECT_EQ(order(set), "bac");
  EXPECT_EQ(which(set), "b");
  tov_archive_restore_order(set);
  EXPECT_EQ(order(set), "abc");
  EXPECT_EQ(which(set), "a");
  // A path loaded twice goes twice.
  EXPECT_TRUE(tov_archive_add_archives(set, &all[0], 1, TOV_ARCHIVE_END));
  EXPECT_EQ(order(set), "abca");
  tov_archive_remove_archives(set, &all[0], 1);
  EXPECT_EQ(order(set), "bc");
  EXPECT_EQ(which(set), "b");
  tov_archive_destroy(set);
}

TEST(ArchiveMapping, LargePagesForTheEntriesAndTablesNotTheFileData) {
  if (access("/sys/kernel/mm/transparent_hugepage", F_OK) != 0)
    GTEST_SKIP() << "this kernel has no large pages for mappings";
  TestHost host;
  TempDir dir, files;
  const u64 mib = 1 << 20;
  std::string path = dir / "big.tov";
  build_archive(files.path(), {{"a.bin", "a", 2}, {"big.bin", std::string(9 * mib, 'b'), 2}}, path);
  std::string header = read_file(path).substr(0, 48);
  u64 name_table;
  memcpy(&name_table, header.data() + 24, sizeof(name_table));
  ASSERT_GT(name_table, 9 * mib);
  OpenedArchive archive(path);
  EXPECT_TRUE(large_pages_at(path, 0));           // header and entries
  EXPECT_FALSE(large_pages_at(path, 5 * mib));    // big.bin's bytes
  EXPECT_TRUE(large_pages_at(path, name_table));  // tables, to the end of the file
  EXPECT_EQ(archive.bytes("big.bin"), std::string(9 * mib, 'b'));
}
