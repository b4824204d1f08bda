// SPDX-License-Identifier: Zlib
// Archives read without verification, as a game that skips it would: an
// archive with any word of it replaced by a hostile value must never make a
// function read outside the mapping, read an entry misaligned, or hand out a
// record whose name or data leave the mapping.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "archive_builder.h"
#include "tov/tov_archive.h"

namespace {

struct Bounds {
  u64 start, end;  // the mapped bytes of the file
  bool holds(const void* pointer, u64 size) const {
    u64 at = (u64)pointer;
    return at >= start && at <= end && size <= end - at;
  }
};

// Checks one record; returns a fault or "".
std::string check_record(const Bounds& bounds, const TovFileInfo& info) {
  if (!bounds.holds(info.name, 1)) return "name outside the mapping";
  if (!memchr(info.name, 0, bounds.end - (u64)info.name)) return "name not ending in the mapping";
  if (!bounds.holds(info.data, info.size)) return "data outside the mapping";
  TovStringTable table;
  if (tov_access_stringtable(&info, &table) && table.count &&
      !bounds.holds(table.offsets, table.count * 8))
    return "string table offsets outside the data";
  return "";
}

// Runs every lookup and listing on the archive at path; the first fault.
std::string read_everything(const std::string& path, u64 size) {
  const char* paths[] = {path.c_str()};
  TovArchiveSetDesc desc = {paths, 1};
  TovArchiveSet* set = tov_archive_create(&desc);
  if (!set) return "not loaded";
  std::vector<FileMapping> maps = mappings_of(path);
  u64 base = maps.empty() ? 0 : maps[0].start - maps[0].offset;  // where byte 0 is mapped
  Bounds bounds = {base, base + size};
  std::string fault;
  auto check = [&](const TovFileInfo* infos, u64 count) {
    for (u64 i = 0; i < count && fault.empty(); ++i) fault = check_record(bounds, infos[i]);
  };
  std::vector<TovFileInfo> listed(64);
  u64 count = std::min<u64>(64, tov_archive_index_directory_with_dupes(set, "", 0, listed.data(), 64));
  check(listed.data(), count);
  std::vector<const char*> names = {"all.fileinfo", "b.h", "maps/town/a.bin", "text/s.strtbl"};
  std::vector<u64> hashes = {0};
  for (u64 i = 0; i < count && fault.empty(); ++i) {
    names.push_back(listed[i].name);
    hashes.push_back(listed[i].hash);
  }
  std::vector<TovFileInfo> out(names.size() + hashes.size());
  check(out.data(), std::min<u64>(out.size(), tov_archive_access_files(set, names.data(), names.size(),
                                                                     out.data(), out.size())));
  check(out.data(), std::min<u64>(out.size(), tov_archive_access_files_by_hash(
                                                  set, hashes.data(), hashes.size(), out.data(),
                                                  out.size())));
  for (const char* name : names) {
    TovFileInfo info;
    TovStringTable table;
    if (tov_archive_access_file(set, name, &info)) check(&info, 1);
    if (tov_archive_access_stringtable(set, name, &table, &info)) check(&info, 1);
  }
  const char* directories[] = {"", "maps/", "maps/town/", "text/"};
  u64 types[] = {0};
  check(out.data(), std::min<u64>(out.size(), tov_archive_index_directories_n(
                                                  set, directories, 4, types, 1, out.data(),
                                                  out.size())));
  tov_archive_destroy(set);
  return fault;
}

}  // namespace

TEST(Unverified, NoHostileWordLeadsOutsideTheMapping) {
  TestHost host;
  TempDir dir, files;
  build_archive(files.path(),
                {{"maps/town/a.bin", "AAAA", 2},
                 {"b.h", "int b;", 4},
                 {"text/s.strtbl", string_table_bytes({0, 3}, std::string("hi\0yo\0", 6)), 6}},
                dir / "good.tov");
  const std::string good = read_file(dir / "good.tov");
  const u64 size = good.size();
  ASSERT_EQ(read_everything(dir / "good.tov", size), "");
  // Offsets just inside, at and past the end, misaligned entry offsets, and
  // counts that overflow when multiplied.
  const u64 values[] = {0,        1,        4,           48 + 4,      48 + 56 + 8,
                        size - 1, size - 8, size,        size + 1,    size * 2,
                        1ull << 40, ~0ull,  ~0ull - 7,   1ull << 60};
  const std::string path = dir / "hostile.tov";
  int tried = 0;
  for (u64 at = 0; at + 8 <= size; at += 4) {
    for (u64 value : values) {
      std::string bytes = good;
      memcpy(bytes.data() + at, &value, 8);
      write_file(path, bytes);
      std::string fault = read_everything(path, size);
      ASSERT_EQ(fault, "") << "word at " << at << " set to " << value;
      ++tried;
    }
  }
  EXPECT_GT(tried, 1000);
}
