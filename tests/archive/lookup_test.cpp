// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "archive/format.h"
#include "archive_builder.h"
#include "opened_archive.h"
#include "tov/tov_archive.h"

namespace {

class Lookup : public testing::Test {
 protected:
  void SetUp() override {
    TempDir files_a, files_b;
    build_archive(
        files_a.path(),
        {{"a.bin", "A", 2},
         {"maps/town/b.bin", "B", 2},
         {"maps/c.h", "C", 4},
         {"text/menu.strtbl", string_table_bytes({0, 4}, std::string("new\0quit\0", 9)), 6},
         {"text/empty.strtbl", string_table_bytes({}, ""), 6}},
        first_);
    build_archive(files_b.path(), {{"a.bin", "second a", 2}, {"maps/d.bin", "D", 2}}, second_);
    const char* paths[] = {first_.c_str(), second_.c_str()};
    TovArchiveSetDesc desc = {paths, 2};
    set_ = tov_archive_create(&desc);
    ASSERT_NE(set_, nullptr);
  }
  void TearDown() override { tov_archive_destroy(set_); }

  static std::vector<std::string> names(const TovFileInfo* infos, u64 count) {
    std::vector<std::string> result;
    for (u64 i = 0; i < count; ++i) result.push_back(infos[i].name);
    return result;
  }

  TestHost host_;
  TempDir dir_;
  std::string first_ = dir_ / "first.tov";
  std::string second_ = dir_ / "second.tov";
  TovArchiveSet* set_ = nullptr;
};

}  // namespace

TEST_F(Lookup, ByNameAndHashTheFirstArchiveWins) {
  TovFileInfo info;
  ASSERT_TRUE(tov_archive_access_file(set_, "a.bin", &info));
  EXPECT_EQ(std::string((const char*)info.data, info.size), "A");
  EXPECT_STREQ(info.archive, first_.c_str());
  EXPECT_STREQ(info.name, "a.bin");
  EXPECT_EQ(info.hash, zu_hash_s("a.bin", 5, 0));
  EXPECT_EQ(info.checksum, zu_hash("A", 1));
  EXPECT_EQ(info.type, 2);
  ASSERT_TRUE(tov_archive_access_file(set_, "maps/d.bin", &info));
  EXPECT_STREQ(info.archive, second_.c_str());
  EXPECT_FALSE(tov_archive_access_file(set_, "missing", &info));
  EXPECT_FALSE(tov_archive_access_file(set_, "A.bin", &info));
  EXPECT_TRUE(tov_archive_access_file(set_, "maps/d.bin", nullptr));  // found, nothing written
  EXPECT_TRUE(tov_archive_access_file_by_hash(set_, zu_hash_s("a.bin", 5, 0), nullptr));
  ASSERT_TRUE(tov_archive_access_file_by_hash(set_, zu_hash_s("maps/town/b.bin", 15, 0), &info));
  EXPECT_STREQ(info.name, "maps/town/b.bin");
}

TEST_F(Lookup, BatchesCountEveryFoundName) {
  const char* names_asked[] = {"a.bin", "missing", "maps/c.h"};
  TovFileInfo out[3];
  EXPECT_EQ(tov_archive_access_files(set_, names_asked, 3, out, 2), 2u);
  EXPECT_EQ(names(out, 2), (std::vector<std::string>{"a.bin", "maps/c.h"}));
  const char* three[] = {"a.bin", "maps/c.h", "maps/d.bin"};
  out[1].name = nullptr;
  EXPECT_EQ(tov_archive_access_files(set_, three, 3, out, 1), 3u);
  EXPECT_STREQ(out[0].name, "a.bin");
  EXPECT_EQ(out[1].name, nullptr);  // beyond capacity
  EXPECT_EQ(tov_archive_access_files(set_, three, 3, nullptr, 0), 3u);
  EXPECT_EQ(tov_archive_access_files(set_, three, 3, out, ~0ull), 3u);  // no more than asked
  EXPECT_STREQ(out[2].name, "maps/d.bin");
  // One name takes a path of its own: found in the second archive.
  EXPECT_EQ(tov_archive_access_files(set_, three + 2, 1, nullptr, 0), 1u);
  struct Record {
    u32 id;
    u64 hash;
  } records[] = {{1, zu_hash_s("maps/d.bin", 10, 0)}, {2, 17}, {3, zu_hash_s("a.bin", 5, 0)}};
  EXPECT_EQ(
      tov_archive_access_files_by_hash_stride(set_, &records[0].hash, 3, sizeof(Record), out, 3),
      2u);
  EXPECT_EQ(names(out, 2), (std::vector<std::string>{"maps/d.bin", "a.bin"}));
  u64 hashes[] = {zu_hash_s("maps/c.h", 8, 0)};
  EXPECT_EQ(tov_archive_access_files_by_hash(set_, hashes, 1, out, 1), 1u);
}

TEST_F(Lookup, StringTables) {
  TovStringTable table;
  TovFileInfo info;
  ASSERT_TRUE(tov_archive_access_file(set_, "text/menu.strtbl", &info));
  ASSERT_TRUE(tov_access_stringtable(&info, &table));
  EXPECT_STREQ(table.text + table.offsets[1], "quit");
  ASSERT_TRUE(tov_archive_access_stringtable(set_, "text/empty.strtbl", &table, nullptr));
  EXPECT_EQ(table.count, 0u);
  EXPECT_EQ(table.offsets, nullptr);
  EXPECT_EQ(table.text, nullptr);
  EXPECT_FALSE(tov_archive_access_stringtable(set_, "a.bin", &table, nullptr));  // not a table
}

TEST_F(Lookup, DirectoriesByTypeWithAndWithoutDupes) {
  TovFileInfo out[16];
  u64 all = tov_archive_index_directory(set_, "", 0, out, 16);
  // Each name once, from the first archive holding it.
  EXPECT_EQ(all, 7u);
  u64 with_dupes = tov_archive_index_directory_with_dupes(set_, "", 0, out, 16);
  EXPECT_EQ(with_dupes, 9u);  // a.bin and all.fileinfo twice
  EXPECT_EQ(tov_archive_index_directory(set_, "maps/", 2, out, 16), 2u);
  std::vector<std::string> listed = names(out, 2);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"maps/d.bin", "maps/town/b.bin"}));
  EXPECT_EQ(tov_archive_index_directory(set_, "maps", 0, out, 16), 0u);  // no trailing slash
  u64 types[] = {4, 6};
  EXPECT_EQ(tov_archive_index_directory_n(set_, "", types, 2, out, 16), 3u);
  u64 too_big[] = {7, 100};
  EXPECT_EQ(tov_archive_index_directory_n(set_, "", too_big, 2, out, 16), 0u);
  // The root and a subdirectory name maps/c.h once without dupes.
  const char* both[] = {"", "maps/"};
  EXPECT_EQ(tov_archive_index_directories(set_, both, 2, 4, out, 16), 1u);
  EXPECT_EQ(tov_archive_index_directories_with_dupes(set_, both, 2, 4, out, 16), 2u);
  EXPECT_EQ(tov_archive_index_directories_with_dupes_n(set_, both, 2, types, 2, out, 1), 4u);
  // Capacity limits what is written, not what is counted.
  EXPECT_EQ(tov_archive_index_directory(set_, "", 0, out, 2), 7u);
}

TEST_F(Lookup, HashZeroIsNoFile) {
  // 0 marks a free slot in the tables; games use it for "no asset".
  EXPECT_FALSE(tov_archive_access_file_by_hash(set_, 0, nullptr));
  u64 hashes[] = {0, zu_hash_s("a.bin", 5, 0), 0, 0};
  TovFileInfo out[4] = {};
  EXPECT_EQ(tov_archive_access_files_by_hash(set_, hashes, 4, out, 4), 1u);
  EXPECT_STREQ(out[0].name, "a.bin");
  EXPECT_EQ(out[1].name, nullptr);
  u64 zeros[40] = {};  // more than one wave of the batch path
  EXPECT_EQ(tov_archive_access_files_by_hash(set_, zeros, 40, out, 4), 0u);
  // Not even in an unverified archive whose free slots name its first
  // entry, in front of the set or behind it.
  std::string bytes = read_file(first_);
  u64 table = archive_load<u64>(bytes.data(), 24);
  u64 slot_count = archive_load<u64>(bytes.data(), table + 8);
  for (u64 i = 0; i < slot_count; ++i) {
    u64 at = table + 16 + i * sizeof(ArchiveSlot);
    if (archive_load<u64>(bytes.data(), at) == 0) memcpy(&bytes[at + 8], &kArchiveEntriesOffset, 8);
  }
  std::string damaged = dir_ / "free_slots.tov";
  write_file(damaged, bytes);
  for (bool in_front : {true, false}) {
    const char* paths[] = {in_front ? damaged.c_str() : second_.c_str(),
                           in_front ? second_.c_str() : damaged.c_str()};
    TovArchiveSetDesc desc = {paths, 2};
    TovArchiveSet* set = tov_archive_create(&desc);
    ASSERT_NE(set, nullptr);
    EXPECT_FALSE(tov_archive_access_file_by_hash(set, 0, out));
    EXPECT_EQ(tov_archive_access_files_by_hash(set, zeros, 40, out, 4), 0u);
    tov_archive_destroy(set);
  }
}

// A name table of one bucket (the builder makes ten or more; another tool
// need not) is probed like any other, singly and in batches.
TEST(LookupTables, OneBucket) {
  TestHost host;
  TempDir dir, files;
  std::string path = dir / "one.tov";
  build_archive(files.path(), {{"a.bin", "A", 2}}, path);
  std::string bytes = read_file(path);
  ArchiveHeader header;
  memcpy((void*)&header, bytes.data(), sizeof(header));
  ArchiveHashTable table;
  memcpy((void*)&table, bytes.data() + header.name_table, sizeof(table));
  std::vector<ArchiveSlot> slots(table.slot_count);
  memcpy((void*)slots.data(), bytes.data() + header.name_table + sizeof(table),
         slots.size() * sizeof(ArchiveSlot));
  ArchiveSlot bucket[4] = {};
  for (const ArchiveSlot& slot : slots) {
    if (!slot.key) continue;
    u64 at = slot.key % 4;  // a key starts at its key mod four and wraps in its bucket
    while (bucket[at].key) at = (at + 1) % 4;
    bucket[at] = slot;
  }
  table.slot_count = 4;
  memcpy(bytes.data() + header.name_table, (const void*)&table, sizeof(table));
  memcpy(bytes.data() + header.name_table + sizeof(table), (const void*)bucket, sizeof(bucket));
  write_file(path, bytes);
  OpenedArchive archive(path);
  const char* names[] = {"a.bin", "all.fileinfo"};
  EXPECT_TRUE(tov_archive_access_file(archive.set, names[0], nullptr));
  EXPECT_EQ(tov_archive_access_files(archive.set, names, 2, nullptr, 0), 2u);
}

TEST(Names, NormalizedAsDocumented) {
  struct Case {
    const char* source;
    const char* name;
  } cases[] = {{"a.b/c_9.bin", "a.b/c_9.bin"},
               {"caf\xc3\xa9.ogg", "caf__.ogg"},  // each byte of a character on its own
               {"", ""}};
  for (const Case& c : cases) {
    char out[64];
    EXPECT_EQ(tov_archive_normalize_name(c.source, out, sizeof(out)), strlen(c.name));
    EXPECT_STREQ(out, c.name);
  }
  char cut[5] = "xxxx";
  EXPECT_EQ(tov_archive_normalize_name("ABCDEFG", cut, sizeof(cut)), 7u);  // as snprintf
  EXPECT_STREQ(cut, "abcd");
  EXPECT_EQ(tov_archive_normalize_name("ABC", nullptr, 0), 3u);
}
