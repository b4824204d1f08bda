// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "archive/format.h"
#include "archive_builder.h"
#include "build_rules/invocations.h"

namespace {

template <class T>
T at(const std::string& bytes, u64 offset) {
  T value;
  memcpy((void*)&value, bytes.data() + offset, sizeof(T));
  return value;
}

}  // namespace

TEST(Pack, TwoFilesOfOneTypeMakeTheDocumentedLayout) {
  TestHost host;
  TempDir dir;
  std::string archive = dir / "out.tov";
  testing::internal::CaptureStdout();
  build_archive(dir.path(), {{"a.bin", "AB", 2}}, archive);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrote '" + archive + "'...\n");
  std::string bytes = read_file(archive);
  ArchiveHeader header = at<ArchiveHeader>(bytes, 0);
  EXPECT_EQ(std::string(header.magic, 4), "TOV1");
  EXPECT_EQ(header.header_size, 48u);
  EXPECT_EQ(header.version, 0x00400000u);
  EXPECT_EQ(header.total_size, bytes.size());
  EXPECT_EQ(header.type_count, 3u);
  ArchiveEntry a = at<ArchiveEntry>(bytes, 48);
  ArchiveEntry catalogue = at<ArchiveEntry>(bytes, 48 + 56);
  EXPECT_EQ(a.name_hash, zu_hash_s("a.bin", 5, 0));
  EXPECT_EQ(a.data, 48u + 2 * 56);
  EXPECT_EQ(a.size, 2u);
  EXPECT_EQ(bytes.substr(a.data, 2), "AB");
  EXPECT_EQ(a.content_hash, zu_hash("AB", 2));
  EXPECT_EQ(catalogue.data, a.data + 2);
  EXPECT_EQ(catalogue.size, 24u);  // the catalogue lists a.bin only
  EXPECT_EQ(catalogue.content_hash, zu_hash(bytes.data() + catalogue.data, 24));
  EXPECT_EQ(std::string(bytes.data() + a.name), "a.bin");
  EXPECT_EQ(std::string(bytes.data() + catalogue.name), "all.fileinfo");
  // Name table: 2 items, 10 buckets.
  ArchiveHashTable names = at<ArchiveHashTable>(bytes, header.name_table);
  EXPECT_EQ(names.item_count, 2u);
  EXPECT_EQ(names.slot_count, 40u);
  EXPECT_EQ(header.name_table, catalogue.data + 24 + 6 + 13);
  // One directory, the root: its block of three type headers (the two
  // empty ones point nowhere), then its two items, then the directory table.
  u64 block = header.name_table + 16 + 40 * 16;
  EXPECT_EQ(at<DirectoryTypeHeader>(bytes, block).items, ~0ull);
  DirectoryTypeHeader data = at<DirectoryTypeHeader>(bytes, block + 32);
  EXPECT_EQ(data.count, 2u);
  EXPECT_EQ(data.items, block + 48);
  EXPECT_EQ(header.directory_table, block + 48 + 32);
}

TEST(PackDeathTest, ChecksComeInOrder) {
  TestHost host;
  TempDir dir;
  std::string wd = dir.path() + "/";
  write_file(wd + "i/a.bin", "a");
  write_file(wd + "i/B.bin", "b");
  write_file(wd + "i/all.fileinfo", "");
  auto fails = [&](std::vector<std::string> args, const std::string& message) {
    parse_arguments(args);
    EXPECT_EXIT(run_command("tov", wd.c_str(), "/", "i/"), testing::ExitedWithCode(255),
                exit_message(message))
        << message;
  };
  std::string out = wd + "out.tov";
  fails({"--tov-command-in-file", wd + "i/a.bin"}, "Only one outfile allowed");
  fails({"--tov-command-out-file", out}, "Need input files");
  fails({"--tov-command-in-file", wd + "i/a.bin", "--tov-command-out-file", out},
        "Last file must be '.fileinfo' file");
  fails({"--tov-command-in-file", wd + "i/a.bin", wd + "i/B.bin", wd + "i/all.fileinfo",
         "--tov-command-out-file", out, "--tov-types", "2", "2"},
        "Each input file must be identified with a specific TOV_TYPE_*");
  fails({"--tov-command-in-file", wd + "i/a.bin", wd + "i/B.bin", wd + "i/all.fileinfo",
         "--tov-command-out-file", out, "--tov-types", "2", "2", "2"},
        "File 'B.bin' contains illegal characters (only [a-z0-9./_] allowed in TOV archive)\n");
  EXPECT_EQ(filesystem_get_attr(out.c_str()), 0u);  // created before the name check, not kept
  fails({"--tov-command-in-file", wd + "i/a.bin", wd + "i/all.fileinfo", "--tov-command-out-file",
         out, "--tov-types", "2", "2"},
        "All files that are packed into archive must be registered in the '.fileinfo' file, no "
        "entry found for 'a.bin'");
  fails({"--tov-command-in-file", wd + "i/all.fileinfo", "--tov-command-out-file",
         wd + "i/a.bin/x.tov", "--tov-types", "2"},
        "Unable to open '" + wd + "i/a.bin/x.tov' file for writing");
}

TEST(PackDeathTest, OnlyEndingsAndTwoIgnoredArchives) {
  TestHost host;
  TempDir dir;
  std::string archive = dir / "strings.tov";
  std::string log = child_output([&] {
    build_archive(dir.path(), {{"a.bin", "a", 2}, {"b.strtbl", "b", 6}}, archive,
                  {"--tov-only-include-files-with-ending", ".strtbl"});
  });
  EXPECT_NE(log.find("Only including files with the following endings:\n"), std::string::npos);
  EXPECT_NE(log.find(" .strtbl\n"), std::string::npos);
  EXPECT_NE(log.find("Added 'b.strtbl' (new file)\n"), std::string::npos);
  EXPECT_EQ(log.find("a.bin"), std::string::npos);
  EXPECT_EXIT(build_archive(dir.path(), {{"a.bin", "a", 2}}, dir / "x.tov",
                            {"--tov-ignore-files-in-archives", archive, archive}),
              testing::ExitedWithCode(255),
              exit_message("TODO: Add multi-archive file omit support"));
  EXPECT_EXIT(build_archive(dir.path(), {{"a.bin", "a", 2}}, dir / "x.tov",
                            {"--tov-ignore-files-in-archives", dir / "missing.tov"}),
              testing::ExitedWithCode(255),
              exit_message("Cannot open '" + (dir / "missing.tov") + "'"));
  // A patch base that is the archive being written, or that is damaged.
  EXPECT_EXIT(build_archive(dir.path(), {{"a.bin", "a", 2}}, archive,
                            {"--tov-ignore-files-in-archives", dir / "./strings.tov"}),
              testing::ExitedWithCode(255),
              exit_message("ERROR: '" + (dir / "./strings.tov") +
                           "' is the archive this step writes; a patch needs an earlier archive "
                           "as its base"));
  std::string damaged = read_file(archive);
  damaged[damaged.size() - 20] ^= 0x55;  // a slot of the directory table
  write_file(dir / "damaged.tov", damaged);
  EXPECT_EXIT(build_archive(dir.path(), {{"a.bin", "a", 2}}, dir / "x.tov",
                            {"--tov-ignore-files-in-archives", dir / "damaged.tov"}),
              testing::ExitedWithCode(255), "damaged\\.tov' is not a sound archive: ");
  write_file(dir / "not_an_archive.tov", std::string(200, '\0'));
  EXPECT_EXIT(build_archive(dir.path(), {{"a.bin", "a", 2}}, dir / "x.tov",
                            {"--tov-ignore-files-in-archives", dir / "not_an_archive.tov"}),
              testing::ExitedWithCode(255),
              exit_message("Cannot find 'all.fileinfo' in '" + (dir / "not_an_archive.tov") + "'"));
}
