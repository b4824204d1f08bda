// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "zu_sys.h"

namespace {

std::vector<std::string> list(const char* directory, const char* base) {
  u64 count = filesystem_list_directory_files(directory, base, true, false, nullptr, 0);
  std::vector<char> slots(count * ZU_PATH_SLOT + 1);
  u64 written = filesystem_list_directory_files(directory, base, true, false,
                                                (char(*)[ZU_PATH_SLOT])slots.data(), count);
  EXPECT_EQ(written, count);
  std::vector<std::string> paths;
  for (u64 i = 0; i < written; ++i) paths.push_back(slots.data() + i * ZU_PATH_SLOT);
  return paths;
}

}  // namespace

TEST(Listing, RecursiveFilesOnlySortedBytewiseWithDirectoryAsGiven) {
  TempDir dir;
  for (const char* name : {"assets/b.txt", "assets/a/z.png", "assets/a.txt", "assets/A.txt",
                           "assets/a/b/deep.bin", "assets/c d/e f.txt"})
    write_file(dir / name, name);
  mkdir((dir / "assets/empty").c_str(), 0755);
  std::vector<std::string> expected = {"assets/A.txt",   "assets/a.txt", "assets/a/b/deep.bin",
                                       "assets/a/z.png", "assets/b.txt", "assets/c d/e f.txt"};
  EXPECT_EQ(list("assets/", dir.path().c_str()), expected);
  // Without a final slash the paths still begin with the text as given.
  EXPECT_EQ(list("assets", dir.path().c_str())[0], "assets/A.txt");
  // A missing folder lists nothing; the capacity limits what is written.
  EXPECT_EQ(list("nothing/", dir.path().c_str()).size(), 0u);
  char slots[2][ZU_PATH_SLOT];
  EXPECT_EQ(filesystem_list_directory_files("assets/", dir.path().c_str(), true, false, slots, 2),
            2u);
  EXPECT_STREQ(slots[1], "assets/a.txt");
}

TEST(Listing, LinksToFilesCountAndLinkLoopsEnd) {
  TempDir dir;
  write_file(dir / "t/real.txt", "r");
  ASSERT_EQ(symlink("real.txt", (dir / "t/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("..", (dir / "t/up").c_str()), 0);  // a loop back to the top
  ASSERT_EQ(symlink("gone", (dir / "t/dangling").c_str()), 0);
  std::vector<std::string> paths = list("t/", dir.path().c_str());
  // t/up leads back to the folder holding t, whose t is not entered again.
  std::vector<std::string> expected = {"t/link.txt", "t/real.txt"};
  EXPECT_EQ(paths, expected);
}

TEST(ListingDeathTest, PathLongerThanItsSlotEndsTheProcess) {
  TempDir dir;
  std::string deep = "d/";
  while (deep.size() < 600) deep += "abcdefghij/";
  write_file(dir / (deep + "f"), "");
  EXPECT_EXIT(list("d/", dir.path().c_str()), testing::ExitedWithCode(255),
              "^ERROR: Path 'd/abcdefghij/.*' is longer than 511 characters, aborting...\n$");
}
