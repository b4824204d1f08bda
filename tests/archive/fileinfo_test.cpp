// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include "archive/format.h"
#include "build_rules/invocations.h"
#include "test_support.h"

namespace {

std::vector<FileInfoRecord> catalogue(const std::string& path) {
  std::string bytes = read_file(path);
  std::vector<FileInfoRecord> records(bytes.size() / sizeof(FileInfoRecord));
  memcpy(records.data(), bytes.data(), records.size() * sizeof(FileInfoRecord));
  return records;
}

void set_time(const std::string& path, long seconds) {
  struct timespec times[2] = {{0, UTIME_OMIT}, {seconds, 5}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

void run_fileinfo(const std::string& working_dir, const std::vector<std::string>& inputs) {
  std::vector<std::string> args = {"--tov-command-out-file", working_dir + "i/all.fileinfo"};
  if (!inputs.empty()) args.push_back("--tov-command-in-file");
  for (const std::string& input : inputs) args.push_back(working_dir + "i/" + input);
  parse_arguments(args);
  EXPECT_EQ(run_command("fileinfo", working_dir.c_str(), "/", "i/"), 0u);
}

const FileInfoRecord* record_of(const std::vector<FileInfoRecord>& records, const char* name) {
  u64 hash = zu_hash(name, strlen(name));
  for (const FileInfoRecord& record : records)
    if (record.name_hash == hash) return &record;
  return nullptr;
}

}  // namespace

TEST(Fileinfo, RecordsAreSortedAndReusedByModificationTime) {
  TestHost host;
  TempDir dir;
  std::string wd = dir.path() + "/";
  write_file(wd + "i/a.bin", "aaa");
  write_file(wd + "i/sub/b.h", "bbb");
  set_time(wd + "i/a.bin", 1000);
  set_time(wd + "i/sub/b.h", 2000);
  run_fileinfo(wd, {"a.bin", "sub/b.h"});
  std::vector<FileInfoRecord> first = catalogue(wd + "i/all.fileinfo");
  ASSERT_EQ(first.size(), 2u);
  EXPECT_LT(first[0].name_hash, first[1].name_hash);
  const FileInfoRecord* a = record_of(first, "a.bin");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->modified, 1000000000005ull);
  EXPECT_EQ(a->content_hash, zu_hash("aaa", 3));
  ASSERT_NE(record_of(first, "sub/b.h"), nullptr);

  // A touched file gets the new time and the same content hash (a changed
  // file with its old time keeps its record: the end-to-end build checks it).
  set_time(wd + "i/sub/b.h", 3000);
  write_file(wd + "i/new.bin", "new");
  run_fileinfo(wd, {"a.bin", "sub/b.h", "new.bin"});
  std::vector<FileInfoRecord> second = catalogue(wd + "i/all.fileinfo");
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(record_of(second, "sub/b.h")->modified, 3000000000005ull);
  EXPECT_EQ(record_of(second, "sub/b.h")->content_hash, zu_hash("bbb", 3));
  EXPECT_EQ(record_of(second, "new.bin")->content_hash, zu_hash("new", 3));

  // A rerun with nothing changed writes the same bytes.
  std::string before = read_file(wd + "i/all.fileinfo");
  run_fileinfo(wd, {"a.bin", "sub/b.h", "new.bin"});
  EXPECT_EQ(read_file(wd + "i/all.fileinfo"), before);
}

TEST(FileinfoDeathTest, NoCollisions) {
  TestHost host;
  TempDir dir;
  std::string wd = dir.path() + "/";
  write_file(wd + "i/a.bin", "a");
  parse_arguments({"--tov-command-in-file", wd + "i/a.bin", wd + "i/a.bin",
                   "--tov-command-out-file", wd + "i/all.fileinfo"});
  EXPECT_EXIT(run_command("fileinfo", wd.c_str(), "/", "i/"), testing::ExitedWithCode(255),
              exit_message("Hash collision found when generating '.fileinfo' file"));
  // The records were written before the check, but no part of a catalogue
  // is left for Ninja to count as done.
  EXPECT_EQ(filesystem_get_attr((wd + "i/all.fileinfo").c_str()), 0u);
}
