// SPDX-License-Identifier: Zlib
// The runtime library alone, on archives the Linux tool built
// (scripts/runtime-fixtures): built natively and for every cross target,
// and run there (under Wine or qemu), so the same archive is read on every
// machine the runtime supports. TOV_FIXTURES names the folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "opened_archive.h"

namespace {

std::string fixture(const std::string& name) {
  const char* folder = std::getenv("TOV_FIXTURES");
  return std::string(folder ? folder : "runtime_fixtures") + "/" + name;
}

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool same_file(const TovFileInfo& a, const TovFileInfo& b) {
  return a.data == b.data && a.size == b.size && a.type == b.type &&
         std::string(a.name) == std::string(b.name);
}

}  // namespace

// Every file of the example archive is found by name, by hash, in batches
// of both and in its directory, with the bytes its checksum names; its
// string tables read in place.
TEST(Runtime, ExampleArchiveReadsWhole) {
  std::string bytes = read_bytes(fixture("demo.tov"));
  ASSERT_FALSE(bytes.empty());
  char message[256] = "";
  EXPECT_TRUE(
      tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, message, sizeof(message)))
      << message;
  OpenedArchive demo(fixture("demo.tov"));
  ASSERT_NE(demo.set, nullptr);
  std::vector<TovFileInfo> files = demo.files();
  ASSERT_GT(files.size(), 20u);
  std::vector<const char*> names;
  std::vector<uint64_t> hashes;
  for (const TovFileInfo& file : files) {
    SCOPED_TRACE(file.name);
    TovFileInfo by_name, by_hash;
    ASSERT_TRUE(tov_archive_access_file(demo.set, file.name, &by_name));
    uint64_t hash = tov_archive_hash(file.name, std::string(file.name).size());
    ASSERT_TRUE(tov_archive_access_file_by_hash(demo.set, hash, &by_hash));
    EXPECT_TRUE(same_file(by_name, file));
    EXPECT_TRUE(same_file(by_hash, file));
    EXPECT_EQ(tov_archive_hash(file.data, file.size), file.checksum);
    names.push_back(file.name);
    hashes.push_back(hash);
  }
  std::vector<TovFileInfo> batch(files.size());
  ASSERT_EQ(
      tov_archive_access_files(demo.set, names.data(), names.size(), batch.data(), batch.size()),
      files.size());
  for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(same_file(batch[i], files[i]));
  ASSERT_EQ(tov_archive_access_files_by_hash(demo.set, hashes.data(), hashes.size(), batch.data(),
                                             batch.size()),
            files.size());
  for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(same_file(batch[i], files[i]));
  TovFileInfo missing;
  EXPECT_FALSE(tov_archive_access_file(demo.set, "no/such/file.bin", &missing));
  EXPECT_FALSE(tov_archive_access_file_by_hash(demo.set, 0, &missing));

  TovFileInfo textures[64];
  uint64_t count = tov_archive_index_directory(demo.set, "textures/", TOV_TYPE_IMAGE, textures, 64);
  EXPECT_GE(count, 5u);
  for (uint64_t i = 0; i < count && i < 64; ++i)
    EXPECT_EQ(std::string(textures[i].name).rfind("textures/", 0), 0u) << textures[i].name;

  TovStringTable table;
  ASSERT_TRUE(tov_archive_access_stringtable(demo.set, "text/menu_en.strtbl", &table, nullptr));
  ASSERT_EQ(table.count, 4u);
  EXPECT_EQ(std::string(table.text + table.offsets[0]), "New Game");
}

// The tool's archive of 100,000 files: every name found both ways.
TEST(Runtime, HundredThousandFiles) {
  std::vector<std::string> names = read_lines(fixture("big_names.txt"));
  ASSERT_EQ(names.size(), 100000u);
  std::string bytes = read_bytes(fixture("big.tov"));
  char message[256] = "";
  EXPECT_TRUE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, message,
                                 sizeof(message)))
      << message;
  OpenedArchive big(fixture("big.tov"));
  ASSERT_NE(big.set, nullptr);
  uint64_t found = 0, same = 0;
  for (const std::string& name : names) {
    TovFileInfo by_name, by_hash;
    found += tov_archive_access_file(big.set, name.c_str(), &by_name);
    same += tov_archive_access_file_by_hash(big.set, tov_archive_hash(name.data(), name.size()),
                                            &by_hash) &&
            same_file(by_name, by_hash) && name == by_name.name;
  }
  EXPECT_EQ(found, names.size());
  EXPECT_EQ(same, names.size());
  EXPECT_EQ(big.files().size(), names.size() + 1);  // and all.fileinfo
}

// Damaged archives are refused by verification with the fault named, and
// read without verification they still hand out nothing outside the file.
TEST(Runtime, DamagedArchivesAreRefused) {
  for (const std::string& name : read_lines(fixture("damaged/list.txt"))) {
    SCOPED_TRACE(name);
    std::string bytes = read_bytes(fixture("damaged/" + name));
    char message[256] = "";
    EXPECT_FALSE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, message,
                                    sizeof(message)));
    EXPECT_NE(message[0], '\0');
    OpenedArchive damaged(fixture("damaged/" + name));
    if (!damaged.set) continue;
    std::vector<TovFileInfo> files = damaged.files();
    if (files.empty()) continue;
    // Where the file lies in memory, from a name that survived: its text
    // sits whole among the names, after the 0 that ends the one before.
    uintptr_t base = 0;
    for (const TovFileInfo& file : files) {
      size_t at = file.name[0] ? bytes.find('\0' + std::string(file.name) + '\0') : bytes.npos;
      if (at != bytes.npos) {
        base = (uintptr_t)file.name - at - 1;
        break;
      }
    }
    ASSERT_NE(base, 0u);
    uintptr_t end = base + bytes.size();
    for (const TovFileInfo& file : files) {
      uintptr_t text = (uintptr_t)file.name, data = (uintptr_t)file.data;
      EXPECT_TRUE(text >= base && text < end && memchr(file.name, 0, end - text)) << file.name;
      EXPECT_TRUE(data >= base && data <= end && file.size <= end - data) << file.name;
    }
  }
}

// A path with characters beyond ASCII opens on every system (UTF-8 in,
// the wide API on Windows).
TEST(Runtime, PathBeyondAscii) {
  OpenedArchive plain(fixture("demo.tov"));
  OpenedArchive wide(
      fixture("donn\xc3\xa9"
              "es/d\xc3\xa9mo.tov"));
  ASSERT_NE(wide.set, nullptr);
  EXPECT_EQ(wide.files().size(), plain.files().size());
  EXPECT_EQ(OpenedArchive(fixture("no such folder/d\xc3\xa9mo.tov")).set, nullptr);
}
