// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

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
