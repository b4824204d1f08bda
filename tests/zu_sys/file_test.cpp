// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "test_support.h"
#include "zu_sys.h"

// An empty file maps, with no bytes. Large pages are asked for whole 2 MiB
// pieces of the range, cut at the file's end; nothing for no bytes or past
// the end.
TEST(MappedFile, EmptyFilesAndLargePagesForTheRangeCutAtTheEnd) {
  TempDir dir;
  write_file(dir / "empty", "");
  ZuMappedFile* empty = filesystem_mapped_file_create((dir / "empty").c_str());
  u64 size = 99;
  EXPECT_TRUE(empty && filesystem_mapped_file_get_memory(empty, &size) && size == 0);
  filesystem_mapped_file_destroy(empty);
  if (access("/sys/kernel/mm/transparent_hugepage", F_OK) != 0)
    GTEST_SKIP() << "this kernel has no large pages for mappings";
  const u64 mib = 1 << 20;
  std::string path = dir / "big";
  write_file(path, std::string(12 * mib, 'x'));
  ZuMappedFile* mapping = filesystem_mapped_file_create(path.c_str());
  filesystem_mapped_file_prefer_large_pages(mapping, 12 * mib, 10);
  filesystem_mapped_file_prefer_large_pages(mapping, 6 * mib, 0);
  EXPECT_FALSE(large_pages_at(path, 6 * mib));
  filesystem_mapped_file_prefer_large_pages(mapping, 9 * mib + 5, ~0ull);
  EXPECT_TRUE(large_pages_at(path, 9 * mib + 5));
  EXPECT_TRUE(large_pages_at(path, 12 * mib - 1));
  EXPECT_FALSE(large_pages_at(path, 6 * mib));
  filesystem_mapped_file_destroy(mapping);
}

// A durable file written in pieces by several threads, at offsets, and
// synced in the background as it grows: the path keeps its old bytes until
// the file is put in place whole.
TEST(DurableFile, WrittenInPiecesFromThreadsIsWholeWhenPutInPlace) {
  TempDir dir;
  const u64 mib = 1 << 20, pieces = 24;
  std::string path = dir / "archive", source = dir / "source";
  write_file(path, "old");
  std::string expected(pieces * mib, 0);
  for (u64 i = 0; i < expected.size(); ++i) expected[i] = (char)(i * 7 / mib + i % 251);
  write_file(source, expected.substr(pieces / 2 * mib));
  ZuFile* file = filesystem_file_create(path.c_str(), 1, ZU_FILE_DURABLE);
  ASSERT_NE(file, nullptr);
  // The first half written piece by piece from two threads; the second
  // copied from another file as one range.
  std::atomic<u32> short_writes{0};
  auto write_pieces = [&](u64 first) {
    for (u64 piece = first; piece < pieces / 2; piece += 2)
      short_writes +=
          filesystem_file_write_at(file, piece * mib, &expected[piece * mib], mib) != mib;
  };
  std::thread even(write_pieces, 0), odd(write_pieces, 1);
  even.join();
  odd.join();
  EXPECT_EQ(short_writes, 0u);
  ZuFile* from = filesystem_file_create(source.c_str(), 0, 0);
  EXPECT_EQ(filesystem_file_copy_at(file, pieces / 2 * mib, from, pieces / 2 * mib),
            pieces / 2 * mib);
  filesystem_file_destroy(from);
  EXPECT_EQ(read_file(path), "old");
  EXPECT_TRUE(filesystem_file_destroy(file));
  EXPECT_TRUE(read_file(path) == expected);
}

// Replacing a large file leaves its freeing to a process of its own: this
// one keeps no descriptor and no child of it, and a reader of the old file
// keeps the old bytes.
TEST(DurableFile, ReplacingALargeFileLeavesNoDescriptorOrChild) {
  TempDir dir;
  std::string path = dir / "archive";
  const std::string old_bytes(12 << 20, 'o'), new_bytes(9 << 20, 'n');
  write_file(path, old_bytes);
  auto open_descriptors = [] {
    u64 count = 0;
    for (int fd = 0; fd < 1024; ++fd) count += fcntl(fd, F_GETFD) != -1;
    return count;
  };
  u64 before = open_descriptors();
  ZuFile* reader = filesystem_file_create(path.c_str(), 0, 0);
  ZuFile* file = filesystem_file_create(path.c_str(), 1, ZU_FILE_DURABLE);
  ASSERT_TRUE(reader && file);
  EXPECT_EQ(filesystem_file_write(file, new_bytes.data(), new_bytes.size()), new_bytes.size());
  EXPECT_TRUE(filesystem_file_destroy(file));
  EXPECT_TRUE(read_file(path) == new_bytes);
  std::string seen(old_bytes.size(), 0);
  EXPECT_EQ(filesystem_file_read(reader, seen.data(), seen.size()), old_bytes.size());
  EXPECT_TRUE(seen == old_bytes);
  filesystem_file_destroy(reader);
  EXPECT_EQ(open_descriptors(), before);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}
