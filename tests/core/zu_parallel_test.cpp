// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "zu_parallel.h"

TEST(ZuParallel, EveryItemRunsOnceWhateverTheSplit) {
  for (u64 count : {0ull, 1ull, 31ull, 513ull, 100000ull}) {
    for (u64 min_part : {0ull, 1ull, 512ull}) {
      std::vector<std::atomic<u32>> runs(count);
      struct Work {
        std::vector<std::atomic<u32>>* runs;
        std::atomic<u32> parts;
      } work = {&runs, {0}};
      zu_parallel_parts(
          count, min_part,
          [](void* argument, u64 begin, u64 end) {
            Work* w = (Work*)argument;
            ASSERT_LT(begin, end);  // no empty parts
            for (u64 i = begin; i < end; ++i) ++(*w->runs)[i];
            ++w->parts;
          },
          &work);
      for (u64 i = 0; i < count; ++i) ASSERT_EQ(runs[i].load(), 1u) << count << " " << i;
      EXPECT_LE(work.parts.load(), 8u);
      if (count > 0 && count < 2 * min_part) {
        EXPECT_EQ(work.parts.load(), 1u) << count;
      }
    }
  }
}
