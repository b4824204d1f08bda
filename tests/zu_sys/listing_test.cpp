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
