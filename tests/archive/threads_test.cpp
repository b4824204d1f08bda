// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "archive_builder.h"
#include "opened_archive.h"
#include "tov/tov_archive.h"

TEST(ArchiveThreads, SixteenThreadsLookUpAndIndexOneSet) {
  TestHost host;
  TempDir dir;
  std::vector<PackedFile> files;
  for (int i = 0; i < 300; ++i)
    files.push_back({"d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".bin",
                     std::string(i + 1, 'x'), (u16)(2 + i % 3)});
  build_archive(dir.path(), files, dir / "a.tov");
  OpenedArchive archive(dir / "a.tov");
  const TovArchiveSet* set = archive.set;
  std::vector<int> failures(16, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&, t] {
      std::vector<TovFileInfo> out(400);
      for (int round = 0; round < 50; ++round) {
        for (int i = t; i < 300; i += 16) {
          TovFileInfo info;
          if (!tov_archive_access_file(set, files[i].name.c_str(), &info) ||
              info.size != (u64)i + 1)
            ++failures[t];
        }
        if (tov_archive_index_directory(set, "", 0, out.data(), out.size()) != 301) ++failures[t];
        std::string folder = "d" + std::to_string(t % 7) + "/";
        if (tov_archive_index_directory(set, folder.c_str(), 2 + t % 3, out.data(), out.size()) ==
            0)
          ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 16; ++t) EXPECT_EQ(failures[t], 0) << t;
}

// More members than the pack keeps open at once: they are opened ahead on a
// thread of their own, and every one lands whole at its place.
TEST(ArchiveThreads, PackOfManyMembers) {
  TestHost host;
  TempDir dir;
  std::vector<PackedFile> files;
  for (int i = 0; i < 700; ++i)
    files.push_back(
        {"m/f" + std::to_string(i) + ".bin", std::string(i % 97 + 1, (char)('a' + i % 26)), 2});
  build_archive(dir.path(), files, dir / "many.tov");
  std::string bytes = read_file(dir / "many.tov");
  EXPECT_TRUE(tov_archive_verify(bytes.data(), bytes.size(), TOV_VERIFY_CONTENT, nullptr, 0));
  OpenedArchive archive(dir / "many.tov");
  for (const PackedFile& file : files)
    EXPECT_EQ(archive.bytes(file.name.c_str()), file.contents) << file.name;
}

// A reload while other threads look up: every lookup, batch and listing sees
// one version of the archive whole, and records stay readable until released.
TEST(ArchiveThreads, ReloadWhileLookingUp) {
  TestHost host;
  TempDir dir;
  std::vector<std::string> versions;
  std::vector<const char*> names;
  std::vector<std::string> name_texts;
  for (int i = 0; i < 10; ++i) name_texts.push_back("f" + std::to_string(i) + ".bin");
  for (const std::string& name : name_texts) names.push_back(name.c_str());
  for (const char* version : {"one", "two"}) {
    std::vector<PackedFile> files;
    for (const std::string& name : name_texts) files.push_back({name, version, 2});
    build_archive(dir / version, files, dir / (std::string(version) + ".tov"));
    versions.push_back(read_file(dir / (std::string(version) + ".tov")));
  }
  std::string path = dir / "game.tov";
  write_file(path, versions[0]);
  OpenedArchive archive(path);
  TovArchiveSet* set = archive.set;
  std::atomic<bool> stop(false);
  std::vector<int> failures(4, 0);
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&, t] {
      TovFileInfo out[16];
      while (!stop.load()) {
        if (tov_archive_access_files(set, names.data(), names.size(), out, 16) != 10) ++failures[t];
        for (int i = 1; i < 10; ++i)
          if (out[i].size != out[0].size || memcmp(out[i].data, out[0].data, out[0].size) != 0)
            ++failures[t];
        if (tov_archive_index_directory(set, "", 2, out, 16) != 11) ++failures[t];
        TovFileInfo one;
        if (!tov_archive_access_file(set, names[t], &one) || one.size != 3) ++failures[t];
      }
    });
  }
  u64 reloads = 0;
  for (int round = 1; round <= 60; ++round) {
    write_file(dir / "next.tov", versions[round % 2]);
    ASSERT_EQ(rename((dir / "next.tov").c_str(), path.c_str()), 0);
    reloads += tov_archive_reload(set, 0) == 10 ? 1 : 0;
  }
  stop = true;
  for (std::thread& reader : readers) reader.join();
  tov_archive_release(set, tov_archive_generation(set));
  EXPECT_EQ(reloads, 60u);
  for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << t;
  EXPECT_EQ(archive.bytes("f3.bin"), "one");
}
