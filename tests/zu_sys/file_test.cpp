// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "test_support.h"
#include "zu_sys.h"

// Attributes, times, and mappings of a file, of an empty file, of a folder.
TEST(Paths, AttributesTimesAndMappings) {
  TempDir dir;
  write_file(dir / "f", "mapped bytes");
  EXPECT_EQ(filesystem_get_attr((dir / "f").c_str()), 3u);
  EXPECT_EQ(filesystem_get_attr((dir / "none").c_str()), 0u);
  struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);
  EXPECT_EQ(filesystem_get_last_modified_time((dir / "f").c_str()), 1700000000123456789ull);
  write_file(dir / "empty", "");
  for (const char* name : {"f", "empty"}) {
    ZuMappedFile* mapping = filesystem_mapped_file_create((dir / name).c_str());
    ASSERT_NE(mapping, nullptr);
    u64 size = 99;
    const char* memory = (const char*)filesystem_mapped_file_get_memory(mapping, &size);
    EXPECT_NE(memory, nullptr);
    EXPECT_EQ(std::string(memory, size), read_file(dir / name));
    filesystem_mapped_file_destroy(mapping);
  }
  EXPECT_EQ(filesystem_mapped_file_create(dir.path().c_str()), nullptr);
}

// Large pages are asked for whole 2 MiB pieces of the range, cut at the
// file's end; nothing for no bytes or past the end.
TEST(MappedFile, LargePagesForTheRangeCutAtTheEnd) {
  if (access("/sys/kernel/mm/transparent_hugepage", F_OK) != 0)
    GTEST_SKIP() << "this kernel has no large pages for mappings";
  TempDir dir;
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

TEST(Shared, MissingModuleFailsWithAReason) {
  EXPECT_EQ(shared_shared_create("no_such_module", 1, nullptr), nullptr);
  EXPECT_NE(std::string(shared_shared_last_error()).find("no_such_module.x86_64"),
            std::string::npos);
  EXPECT_EQ(shared_shared_create("../escape", 1, nullptr), nullptr);
}
