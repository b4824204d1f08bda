// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>

#include "zu_sys.h"

TEST(Hash, SeedZeroEqualsUnseededAndValuesAreFixed) {
  EXPECT_EQ(zu_hash("all.fileinfo", 12), zu_hash_s("all.fileinfo", 12, 0));
  EXPECT_NE(zu_hash("a", 1), zu_hash_s("a", 1, 1));
  // Archives store these values: they must never change.
  EXPECT_EQ(zu_hash("", 0), 0x2D06800538D394C2ull);
  EXPECT_EQ(zu_hash("a", 1), 0xE6C632B61E964E1Full);
}
