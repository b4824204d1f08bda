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

// The pack and the catalogue open every input themselves and name a
// missing one as every other command does: the first in order. The outputs
// stay as they were.
TEST(PackDeathTest, MissingInputsAreNamedFirstInOrder) {
  TestHost host;
  TempDir dir;
  std::string wd = dir.path() + "/", archive = wd + "out.tov", base = wd + "base.tov";
  build_archive(dir.path(), {{"a.bin", "a", 2}, {"b.bin", "b", 2}, {"c.bin", "c", 2}}, archive);
  const std::string kept_archive = read_file(archive),
                    kept_catalogue = read_file(wd + "i/all.fileinfo");
  write_file(base, kept_archive);
  const std::vector<std::string> names = {"a.bin", "b.bin", "c.bin", "all.fileinfo"};
  struct {
    const char* command;
    std::vector<std::string> removed;
    std::vector<std::string> options;
  } cases[] = {
      {"tov", {"b.bin", "c.bin"}, {}},
      {"tov", {"c.bin", "all.fileinfo"}, {}},  // the catalogue is opened first
      {"tov", {"b.bin"}, {"--tov-ignore-files-in-archives", base}},
      {"fileinfo", {"c.bin"}, {}},
  };
  for (const auto& c : cases) {
    bool pack = c.command == std::string("tov");
    std::vector<std::string> inputs;
    for (u32 i = 0; i < (pack ? 4u : 3u); ++i) inputs.push_back(wd + "i/" + names[i]);
    for (u32 i = 0; i < 3; ++i) write_file(inputs[i], names[i].substr(0, 1));
    write_file(wd + "i/all.fileinfo", kept_catalogue);
    for (const std::string& name : c.removed) ASSERT_EQ(unlink((wd + "i/" + name).c_str()), 0);
    std::vector<std::string> args = {"--tov-command-in-file"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    args.insert(args.end(), {"--tov-command-out-file", pack ? archive : wd + "i/all.fileinfo"});
    if (pack) args.insert(args.end(), {"--tov-types", "2", "2", "2", "2"});
    args.insert(args.end(), c.options.begin(), c.options.end());
    parse_arguments(args);
    u32 first = 0;
    while (filesystem_get_attr(inputs[first].c_str()) != 0) ++first;
    std::string next = first + 1 < inputs.size() ? inputs[first + 1] : "<no next file>";
    EXPECT_EXIT(run_command(c.command, wd.c_str(), "/", "i/"), testing::ExitedWithCode(255),
                exit_message("Couldn't find file '" + inputs[first] + "' (next file is '" + next +
                             "'), exiting..."))
        << c.command << " " << c.removed[0];
    EXPECT_EQ(read_file(archive), kept_archive);
  }
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
