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
  template <class T>
  static void put(std::string* bytes, u64 offset, T value) {
    memcpy(bytes->data() + offset, (const void*)&value, sizeof(T));
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
  EXPECT_EQ(verify(bytes_), "ok");
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
  auto corrupt = [&](auto change) {
    std::string bytes = bytes_;
    change(&bytes);
    return verify(bytes);
  };
  // Words that point where nothing of theirs lies. Sections must lie where
  // the packer puts them, so that no crafted offset makes the check read one
  // long name or one large block again and again.
  ArchiveEntry first = at<ArchiveEntry>(48);
  u64 directory_slots = header_.directory_table + 16;
  while (at<ArchiveSlot>(directory_slots).key == 0) directory_slots += 16;
  struct Word {
    u64 at, value;
    std::string message;
  } words[] = {
      {48 + 48, bytes_.size() + 100, "entry data out of range (at offset 48)"},
      {48 + 56, first.name, "entry name out of range (at offset 104)"},  // a shared name
      {48 + 56 + 48, first.data, "entry data out of range (at offset 104)"},
      {directory_slots + 8, at<ArchiveSlot>(directory_slots).value + 16,  // inside a block
       "directory block out of range (at offset " + std::to_string(directory_slots) + ")"},
  };
  for (const Word& word : words)
    EXPECT_EQ(corrupt([&](std::string* b) { put<u64>(b, word.at, word.value); }), word.message);
  // A name with an illegal byte (its hash then no longer matters).
  u64 name = at<ArchiveEntry>(48).name;
  EXPECT_EQ(corrupt([&](std::string* b) { (*b)[name] = 'M'; }),
            "entry name with an illegal character (at offset " + std::to_string(name) + ")");
  EXPECT_EQ(corrupt([&](std::string* b) { (*b)[name] = 'n'; }),
            "entry name hash does not match its name (at offset 48)");
  // A bucket holding a key that belongs elsewhere.
  u64 slots = header_.name_table + 16;
  u64 slot_count = at<ArchiveHashTable>(header_.name_table).slot_count;
  std::string moved = corrupt([&](std::string* b) {
    for (u64 i = 0; i < slot_count; ++i) {
      ArchiveSlot slot = at<ArchiveSlot>(slots + i * 16);
      if (slot.key == 0) continue;
      put<u64>(b, slots + i * 16, slot.key + 1);  // now in the wrong bucket
      break;
    }
  });
  EXPECT_NE(moved.find("hash table item outside its bucket"), std::string::npos) << moved;
  // An unsorted directory item list: the root's list of type 2 holds two items.
  u64 root_block = 0;
  for (u64 i = 0; i < at<ArchiveHashTable>(header_.directory_table).slot_count; ++i) {
    ArchiveSlot slot = at<ArchiveSlot>(header_.directory_table + 16 + i * 16);
    if (slot.key == zu_hash_s("", 0, 0)) root_block = slot.value;
  }
  ASSERT_NE(root_block, 0u);
  DirectoryTypeHeader data_list = at<DirectoryTypeHeader>(root_block + 2 * 16);
  ASSERT_EQ(data_list.count, 2u);
  std::string unsorted = corrupt([&](std::string* b) {
    ArchiveItem first = at<ArchiveItem>(data_list.items);
    ArchiveItem second = at<ArchiveItem>(data_list.items + 16);
    put(b, data_list.items, second);
    put(b, data_list.items + 16, first);
  });
  EXPECT_EQ(unsorted, "directory item list not sorted (at offset " +
                          std::to_string(data_list.items + 16) + ")");
  // Content hashes are checked only when asked.
  std::string changed = bytes_;
  changed[at<ArchiveEntry>(48).data] = 'Z';
  EXPECT_EQ(verify(changed), "ok");
  EXPECT_EQ(verify(changed, TOV_VERIFY_CONTENT),
            "content hash does not match the data (at offset " +
                std::to_string(at<ArchiveEntry>(48).data) + ")");
  // A string table whose string runs past its data.
  u64 table_entry = 48 + 2 * 56;
  ASSERT_EQ(at<ArchiveEntry>(table_entry).type, 6);
  u64 table_data = at<ArchiveEntry>(table_entry).data;
  EXPECT_EQ(corrupt([&](std::string* b) { put<u64>(b, table_data + 8, 50); }),
            "string table string out of range (at offset " + std::to_string(table_data + 8) + ")");
  EXPECT_EQ(corrupt([&](std::string* b) { (*b)[0] = 'X'; }), "not a TOV1 archive (at offset 0)");
}
