// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "archive/format.h"
#include "archive_builder.h"
#include "tov/tov_archive.h"

namespace {

class Verify : public testing::Test {
 protected:
  void SetUp() override {
    TempDir files;
    build_archive(files.path(),
                  {{"maps/town/a.bin", "AAAA", 2},
                   {"b.h", "int b;", 4},
                   {"text/s.strtbl", table(), 6}},
                  dir_ / "good.tov");
    bytes_ = read_file(dir_ / "good.tov");
    header_ = at<ArchiveHeader>(0);
  }
  static std::string table() {
    std::string bytes;
    u64 count = 1, offset = 0;
    bytes.append((const char*)&count, 8);
    bytes.append((const char*)&offset, 8);
    return bytes + std::string("hi\0", 3);
  }
  template <class T>
  T at(u64 offset) const {
    T value;
    memcpy((void*)&value, bytes_.data() + offset, sizeof(T));
    return value;
  }
  std::string verify(const std::string& bytes, u32 flags = 0) {
    char message[256] = "untouched";
    bool ok = tov_archive_verify(bytes.data(), bytes.size(), flags, message, sizeof(message));
    return ok ? "ok" : message;
  }
  TestHost host_;
  TempDir dir_;
  std::string bytes_;
  ArchiveHeader header_;
};

}  // namespace

TEST_F(Verify, ArchivesTheToolBuildsPass) {
  EXPECT_EQ(verify(bytes_, TOV_VERIFY_CONTENT), "ok");
  TempDir files;
  build_archive(files.path(), {}, dir_ / "empty.tov");
  EXPECT_EQ(verify(read_file(dir_ / "empty.tov"), TOV_VERIFY_CONTENT), "ok");
}

TEST_F(Verify, TruncationAtEverySectionBoundaryIsCaught) {
  u64 entry0 = 48;
  ArchiveEntry first = at<ArchiveEntry>(entry0);
  u64 boundaries[] = {0, 47, 48, 48 + 56, first.data, first.data + 1, header_.name_table,
                      header_.name_table + 16, header_.directory_table, bytes_.size() - 1};
  for (u64 length : boundaries) {
    std::string cut = bytes_.substr(0, length);
    EXPECT_NE(verify(cut), "ok") << length;
  }
  EXPECT_EQ(verify(bytes_.substr(0, bytes_.size() - 1)),
            "total size differs from the file's (at offset 16)");
}

TEST_F(Verify, EachKindOfCorruptionIsNamed) {
  auto word = [](u64 value) { return std::string((const char*)&value, 8); };
  ArchiveEntry first = at<ArchiveEntry>(48);
  // The first used slot of the directory table and of the name table.
  u64 directory_slot = header_.directory_table + 16;
  while (at<ArchiveSlot>(directory_slot).key == 0) directory_slot += 16;
  u64 name_slot = header_.name_table + 16;
  while (at<ArchiveSlot>(name_slot).key == 0) name_slot += 16;
  // The root's list of type 2 holds two items.
  u64 root_block = 0;
  for (u64 i = 0; i < at<ArchiveHashTable>(header_.directory_table).slot_count; ++i) {
    ArchiveSlot slot = at<ArchiveSlot>(header_.directory_table + 16 + i * 16);
    if (slot.key == zu_hash_s("", 0, 0)) root_block = slot.value;
  }
  ASSERT_NE(root_block, 0u);
  DirectoryTypeHeader data_list = at<DirectoryTypeHeader>(root_block + 2 * 16);
  ASSERT_EQ(data_list.count, 2u);
  u64 table_entry = 48 + 2 * 56;
  ASSERT_EQ(at<ArchiveEntry>(table_entry).type, 6);
  u64 table_data = at<ArchiveEntry>(table_entry).data;
  auto offset = [](u64 at) { return " (at offset " + std::to_string(at) + ")"; };
  // Bytes written at an offset, and the fault named. Sections must lie
  // where the packer puts them, so that no crafted offset makes the check
  // read one long name or one large block again and again.
  struct Case {
    u64 at;
    std::string bytes, message;
  } cases[] = {
      {48 + 48, word(bytes_.size() + 100), "entry data out of range" + offset(48)},
      {48 + 56, word(first.name), "entry name out of range" + offset(104)},   // a shared name
      {directory_slot + 8, word(at<ArchiveSlot>(directory_slot).value + 16),  // inside a block
       "directory block out of range" + offset(directory_slot)},
      {first.name, "M", "entry name with an illegal character" + offset(first.name)},
      {first.name, "n", "entry name hash does not match its name" + offset(48)},
      {name_slot, word(at<ArchiveSlot>(name_slot).key + 1),  // now in the wrong bucket
       "hash table item outside its bucket"},
      {data_list.items,  // the two items swapped
       bytes_.substr(data_list.items + 16, 16) + bytes_.substr(data_list.items, 16),
       "directory item list not sorted" + offset(data_list.items + 16)},
      {table_data + 8, word(50), "string table string out of range" + offset(table_data + 8)},
      {0, "X", "not a TOV1 archive" + offset(0)},
  };
  for (const Case& c : cases) {
    std::string bytes = bytes_;
    bytes.replace(c.at, c.bytes.size(), c.bytes);
    std::string message = verify(bytes);
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
  }
  // Content hashes are checked only when asked.
  std::string changed = bytes_;
  changed[first.data] = 'Z';
  EXPECT_EQ(verify(changed), "ok");
  EXPECT_EQ(verify(changed, TOV_VERIFY_CONTENT),
            "content hash does not match the data" + offset(first.data));
}
