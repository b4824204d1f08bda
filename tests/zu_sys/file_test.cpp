// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "zu_sys.h"

// Writes of every size, seeks back and copies at an offset all land where
// they were asked, in a file whose folders did not exist yet.
TEST(File, WritesSeeksAndCopiesLandWhereAsked) {
  TempDir dir;
  std::string path = dir / "intermediate/../build.ninja";  // ".." of a missing folder
  write_file(dir / "member", "0123456789");
  ZuFile* member = filesystem_file_create((dir / "member").c_str(), 0, 0);
  ZuFile* file = filesystem_file_create(path.c_str(), 1, 0);
  ASSERT_NE(file, nullptr);
  std::string expected;
  for (int round = 0; round < 200; ++round) {  // around the 64 KiB buffer
    std::string piece((size_t)(round * 997) % 70000 + 1, (char)('a' + round % 26));
    EXPECT_EQ(filesystem_file_write(file, piece.data(), piece.size()), piece.size());
    expected += piece;
  }
  EXPECT_EQ(filesystem_file_size(file), expected.size());  // size flushes
  EXPECT_TRUE(filesystem_file_seek(file, 2));              // flushes, then overwrites
  filesystem_file_write(file, "AB", 2);
  expected.replace(2, 2, "AB");
  // A source shorter than asked copies what it has; the position stays.
  EXPECT_EQ(filesystem_file_copy_at(file, expected.size() + 4, member, 15), 10u);
  expected += std::string(4, '\0') + "0123456789";
  filesystem_file_write(file, "CD", 2);
  expected.replace(4, 2, "CD");
  EXPECT_FALSE(filesystem_file_failed(file));
  EXPECT_TRUE(filesystem_file_destroy(file));
  filesystem_file_destroy(member);
  EXPECT_TRUE(read_file(dir / "build.ninja") == expected);
  member = filesystem_file_create((dir / "member").c_str(), 0, 0);
  char buffer[16] = {};
  EXPECT_EQ(filesystem_file_read(member, buffer, sizeof(buffer)), 10u);
  EXPECT_STREQ(buffer, "0123456789");
  filesystem_file_destroy(member);
  EXPECT_EQ(filesystem_file_create(dir.path().c_str(), 1, 0), nullptr);  // a folder
}

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

namespace {

std::vector<std::string> folder_entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// A file written for output is complete or absent: the old file stays whole
// until the new one is, and no failure leaves a part of one behind.
TEST(File, OutputsAreCompleteOrAbsent) {
  TempDir dir;
  std::string path = dir / "game.tov";
  write_file(path, "old bytes");
  ZuMappedFile* mapped = filesystem_mapped_file_create(path.c_str());
  u64 size;
  const char* old = (const char*)filesystem_mapped_file_get_memory(mapped, &size);
  struct Case {
    const char* what;
    int end;  // 0 destroy, 1 discard, 2 a write past the size limit, 3 sys_exit
    const char* expected;
  } cases[] = {{"discarded", 1, "old bytes"},
               {"cut by the file size limit", 2, "old bytes"},
               {"process ended by sys_exit", 3, "old bytes"},
               {"closed whole", 0, "new"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.end == 3) {
      EXPECT_EXIT(
          {
            ZuFile* file = filesystem_file_create(path.c_str(), 1, 0);
            filesystem_file_write(file, "half", 4);
            filesystem_file_seek(file, 0);
            sys_exit(-1, "stopped");
          },
          testing::ExitedWithCode(255), "stopped");
    } else {
      ZuFile* file = filesystem_file_create(path.c_str(), 1, ZU_FILE_DURABLE);
      ASSERT_NE(file, nullptr);
      EXPECT_EQ(read_file(path), "old bytes");  // nothing shows until it is whole
      if (c.end == 2) {
        // A size limit cuts the write, as a full disk would; the signal it
        // raises is ignored, as Ninja's children inherit it.
        struct rlimit before;
        getrlimit(RLIMIT_FSIZE, &before);
        struct rlimit limit = {8, before.rlim_max};  // the hard limit stays, to be raised again
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string big(70000, 'x');
        filesystem_file_write(file, big.data(), big.size());
        EXPECT_TRUE(filesystem_file_failed(file));
        setrlimit(RLIMIT_FSIZE, &before);
        signal(SIGXFSZ, SIG_DFL);
        EXPECT_FALSE(filesystem_file_destroy(file));
      } else {
        filesystem_file_write(file, "new", 3);
        if (c.end == 1) filesystem_file_discard(file);
        if (c.end == 0) {
          EXPECT_TRUE(filesystem_file_destroy(file));
        }
      }
    }
    EXPECT_EQ(read_file(path), c.expected);
    EXPECT_EQ(folder_entries(dir.path()), std::vector<std::string>{"game.tov"});
  }
  // The mapping of the old file still reads the old bytes.
  EXPECT_EQ(std::string(old, size), "old bytes");
  filesystem_mapped_file_destroy(mapped);
  // Copies too, into folders that did not exist; without overwrite an
  // existing file is left alone.
  write_file(dir / "source", "copied");
  EXPECT_TRUE(filesystem_copy_file((dir / "a/b/c").c_str(), (dir / "source").c_str(), true));
  EXPECT_EQ(read_file(dir / "a/b/c"), "copied");
  EXPECT_FALSE(filesystem_copy_file(path.c_str(), (dir / "missing").c_str(), true));
  std::filesystem::remove_all(dir / "a");
  EXPECT_FALSE(filesystem_copy_file(path.c_str(), (dir / "source").c_str(), false));
  EXPECT_EQ(read_file(path), "new");
  EXPECT_TRUE(filesystem_same_file(path.c_str(), (dir / "./game.tov").c_str()));
  EXPECT_FALSE(filesystem_same_file(path.c_str(), (dir / "source").c_str()));
  EXPECT_EQ(folder_entries(dir.path()), (std::vector<std::string>{"game.tov", "source"}));
}
