// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "e2e_tree.h"
#include "tov/tov_archive.h"

namespace {

void keep_time(const std::string& path, const struct stat& before) {
  struct timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

TEST(E2eArchive, BuildRebuildTouchAddRemoveAndPatch) {
  E2eTree tree;
  tree.write("assets/a.h", "header a");
  tree.write("assets/b.bin", "bytes of b");
  tree.write("assets/c.bin", "bytes of c");
  tree.write("assets/lang/en.strtbl", "Hello\nWorld\n");
  ASSERT_EQ(tree.build("e2e_first.tov", {"--tov-dir", "assets/"}).status, 0);
  std::string first = E2eTree::archive_path("e2e_first.tov");
  {
    std::string bytes = read_file(first);
    char message[256];
    EXPECT_TRUE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, message,
                                   sizeof(message)))
        << message;
    OpenedArchive archive(first);
    EXPECT_EQ(archive.names(), (std::vector<std::string>{"a.h", "all.fileinfo", "b.bin", "c.bin",
                                                         "lang/en.strtbl"}));
    EXPECT_EQ(archive.file("a.h").type, 4);
    TovStringTable table;
    ASSERT_TRUE(tov_archive_access_stringtable(archive.set, "lang/en.strtbl", &table, nullptr));
    EXPECT_EQ(table.count, 2u);
    EXPECT_STREQ(table.text + table.offsets[1], "World");
  }
  // The example program lists it as a game would.
  ProcessResult listed =
      run_shell(shell_quote(bin_dir() + "list_archive") + " " + shell_quote(first));
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.out.find("lang/en.strtbl"), std::string::npos) << listed.out;
  // ... and refuses a damaged one before it reads it.
  std::string cut = tree.path("cut.tov");
  write_file(cut, read_file(first).substr(0, 200));
  listed = run_shell(shell_quote(bin_dir() + "list_archive") + " " + shell_quote(cut));
  EXPECT_EQ(listed.status, 1);
  EXPECT_EQ(listed.err, cut + ": damaged: total size differs from the file's (at offset 16)\n");

  // Change b; give c new bytes behind Ninja's back, keeping its time. Only
  // b's statement runs, and the catalogue reuses c's record unread: the
  // archive then carries c's new bytes with its old content hash.
  std::string c_path = tree.path("out/i/c.bin");
  struct stat c_before;
  stat(c_path.c_str(), &c_before);
  u64 c_old_hash = zu_hash("bytes of c", 10);
  write_file(c_path, "sneaky new c");
  keep_time(c_path, c_before);
  tree.write("assets/b.bin", "new bytes of b");
  tree.age("assets/b.bin", 5);
  ProcessResult rebuilt = tree.ninja();
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.out;
  EXPECT_NE(rebuilt.out.find("[1/3] COPY"), std::string::npos) << rebuilt.out;
  {
    OpenedArchive archive(first);
    EXPECT_EQ(archive.file("c.bin").checksum, c_old_hash);
    EXPECT_EQ(archive.bytes("c.bin"), "sneaky new c");
    EXPECT_EQ(archive.file("b.bin").checksum, zu_hash("new bytes of b", 14));
  }
  write_file(c_path, "bytes of c");
  keep_time(c_path, c_before);

  // Touched without a change: a new time and the same content hash.
  tree.age("assets/a.h", 10);
  ASSERT_EQ(tree.ninja().status, 0);
  EXPECT_EQ(OpenedArchive(first).file("a.h").checksum, zu_hash("header a\0", 9));

  // A patch against a copy of the first archive packs what changed since.
  std::string base = tree.path("base.tov");
  ASSERT_TRUE(copy_file(first, base));
  tree.write("assets/b.bin", "b once more");
  tree.age("assets/b.bin", 20);
  tree.write("assets/e.bin", "brand new");
  ProcessResult patched =
      tree.build("e2e_patch.tov", {"--tov-dir", "assets/", "--tov-ignore-files-in-archives", base});
  ASSERT_EQ(patched.status, 0);
  EXPECT_NE(patched.out.find("Added 'b.bin' (checksum different"), std::string::npos)
      << patched.out;
  {
    std::string bytes = read_file(E2eTree::archive_path("e2e_patch.tov"));
    EXPECT_TRUE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, nullptr, 0));
    OpenedArchive patch(E2eTree::archive_path("e2e_patch.tov"));
    EXPECT_EQ(patch.names(), (std::vector<std::string>{"all.fileinfo", "b.bin", "e.bin"}));
    EXPECT_EQ(patch.file("all.fileinfo").size, 2 * 24u);  // the packed files only
  }
}
