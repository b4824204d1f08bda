// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "test_support.h"
#include "zu_sys.h"

namespace {

// Every event until the folder has been quiet for 200 ms, by path.
std::map<std::string, u32> gather(ZuWatch* watch, u64 capacity) {
  std::map<std::string, u32> seen;
  ZuWatchEvent events[8];
  for (i64 count; (count = filesystem_watch_wait(watch, events, capacity, 200)) > 0;)
    for (i64 i = 0; i < count; ++i) seen[events[i].path] |= events[i].flags;
  return seen;
}

std::string read_all(ZuProcess* process) {
  std::string text;
  char buffer[64];
  for (i64 got; (got = process_process_read(process, buffer, sizeof(buffer), 10000)) > 0;)
    text.append(buffer, (size_t)got);
  return text;
}

}  // namespace

TEST(FolderWatch, ChangesComeAsPathsAFewAtATime) {
  TempDir dir;
  ZuWatch* watch = filesystem_watch_create();
  ASSERT_NE(watch, nullptr);
  ASSERT_TRUE(filesystem_watch_add(watch, dir.path().c_str()));
  EXPECT_FALSE(filesystem_watch_add(watch, (dir / "missing").c_str()));
  ZuWatchEvent event;
  EXPECT_EQ(filesystem_watch_wait(watch, &event, 1, 0), 0) << "nothing changed yet";
  write_file(dir / ".a.txt.tmp", "saved");
  ASSERT_EQ(rename((dir / ".a.txt.tmp").c_str(), (dir / "a.txt").c_str()), 0);
  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
  write_file(dir / "sub/unwatched.txt", "x");
  // One event a call: the rest wait for the next calls.
  std::map<std::string, u32> seen = gather(watch, 1);
  EXPECT_EQ(seen.count(dir / ".a.txt.tmp"), 1u);
  EXPECT_EQ(seen[dir / "a.txt"], 0u);
  EXPECT_EQ(seen[dir / "sub"], (u32)ZU_WATCH_FOLDER);
  EXPECT_EQ(seen.count(dir / "sub/unwatched.txt"), 0u) << "subfolders are watched one by one";
  ASSERT_TRUE(filesystem_watch_add(watch, (dir / "sub").c_str()));
  ASSERT_EQ(remove((dir / "sub/unwatched.txt").c_str()), 0);
  ASSERT_EQ(rmdir((dir / "sub").c_str()), 0);
  seen = gather(watch, 8);
  EXPECT_EQ(seen.count(dir / "sub/unwatched.txt"), 1u);
  EXPECT_NE(seen[dir / "sub"] & ZU_WATCH_FOLDER, 0u);
  filesystem_watch_destroy(watch);
}

TEST(Process, OutputStatusTimeAndInterrupt) {
  TempDir dir;
  const char* echo[] = {"sh", "-c", "pwd; echo to error >&2; exit 3", nullptr};
  ZuProcess* process = process_process_create(echo, dir.path().c_str());
  ASSERT_NE(process, nullptr);
  char resolved[4096];
  ASSERT_TRUE(filesystem_resolve_path(dir.path().c_str(), resolved, sizeof(resolved)));
  EXPECT_EQ(read_all(process), std::string(resolved) + "\nto error\n");
  EXPECT_EQ(process_process_wait(process), 3);
  process_process_destroy(process);
  const char* missing[] = {"tov-no-such-program", nullptr};
  EXPECT_EQ(process_process_create(missing, nullptr), nullptr);
  const char* slow[] = {"sleep", "30", nullptr};
  process = process_process_create(slow, nullptr);
  ASSERT_NE(process, nullptr);
  char buffer[8];
  EXPECT_EQ(process_process_read(process, buffer, sizeof(buffer), 20), -1) << "the time ran out";
  process_process_interrupt(process);
  EXPECT_EQ(process_process_wait(process), 128 + SIGINT);
  process_process_destroy(process);
}

// Ctrl-C for a process that catches it wakes its waits; the process goes on.
bool interrupt_wakes_the_waits() {
  TempDir dir;
  ZuWatch* watch = filesystem_watch_create();
  filesystem_watch_add(watch, dir.path().c_str());
  sys_catch_interrupts();
  bool before = sys_interrupted();
  raise(SIGINT);
  ZuWatchEvent event;
  const char* slow[] = {"sleep", "30", nullptr};
  ZuProcess* process = process_process_create(slow, nullptr);
  char buffer[8];
  bool woke = filesystem_watch_wait(watch, &event, 1, ~0u) == -1 &&
              process_process_read(process, buffer, sizeof(buffer), ~0u) == -2;
  process_process_interrupt(process);
  process_process_destroy(process);
  return !before && sys_interrupted() && woke;
}

TEST(Process, CaughtInterruptsWakeTheWaits) {
  EXPECT_EXIT(_exit(interrupt_wakes_the_waits() ? 0 : 1), testing::ExitedWithCode(0), "");
}

// A watcher's listing of folders goes on where a listing of files stops.
TEST(FolderWatch, FoldersAreListedWhateverTheTreeHolds) {
  TempDir dir;
  std::string deep = dir / "deep";
  while (deep.size() < ZU_PATH_SLOT + 20) deep += "/abcdefghij";
  ASSERT_EQ(run_shell("mkdir -p " + shell_quote(deep) + " a/b && mkfifo a/pipe && touch a/file",
                      dir.path())
                .status,
            0);
  char slots[8][ZU_PATH_SLOT];
  u64 count = filesystem_list_folders(dir.path().c_str(), slots, 8);
  ASSERT_GE(count, 3u);
  EXPECT_EQ(std::string(slots[0]), dir / "a");
  EXPECT_EQ(std::string(slots[1]), dir / "a/b");
  for (u64 i = 2; i < count && i < 8; ++i)
    EXPECT_EQ(std::string(slots[i]).rfind(dir / "deep", 0), 0u) << slots[i];
  EXPECT_EQ(filesystem_list_folders((dir / "missing").c_str(), nullptr, 0), 0u);
}
