// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <memory>

#include "zu_fixed_queue.h"

TEST(ZuFixedQueue, FillsRefusesThe513thAndWrapsIntoASecondRegion) {
  auto queue = std::make_unique<ZuFixedQueue>();
  zu_fixed_queue_init(queue.get());
  EXPECT_EQ(queue->capacity, 512);
  EXPECT_EQ(queue->second_start, 65535);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(zu_fixed_queue_push(queue.get(), 1), queue->slots[i]);
  EXPECT_EQ(zu_fixed_queue_push(queue.get(), 1), nullptr);
  EXPECT_EQ(queue->second_start, 65535);  // the failed attempt closed it again
  // The second region stops one short of the head and takes every push.
  zu_fixed_queue_pop(queue.get(), 1);
  zu_fixed_queue_pop(queue.get(), 1);
  EXPECT_EQ(queue->head, 2);
  EXPECT_EQ(zu_fixed_queue_push(queue.get(), 1), queue->slots[0]);
  EXPECT_EQ(queue->second_start, 0);
  EXPECT_EQ(zu_fixed_queue_push(queue.get(), 1), nullptr);
  // Popping the whole first region makes the second one the first.
  zu_fixed_queue_pop(queue.get(), 510);
  EXPECT_EQ(queue->head, 0);
  EXPECT_EQ(queue->count, 1);
  EXPECT_EQ(queue->second_start, 65535);

  zu_fixed_queue_init(queue.get());
  zu_fixed_queue_push(queue.get(), 500);
  zu_fixed_queue_pop(queue.get(), 100);
  EXPECT_EQ(zu_fixed_queue_push(queue.get(), 20), queue->slots[0]);  // 500 + 20 > 512
  // The first region still has 12 free slots at its end, but a push goes to
  // the second region once it is open.
  EXPECT_EQ(zu_fixed_queue_push(queue.get(), 5), queue->slots[20]);
  EXPECT_EQ(queue->count, 400);
  // A pop larger than the first region continues into the second.
  zu_fixed_queue_pop(queue.get(), 410);
  EXPECT_EQ(queue->head, 10);
  EXPECT_EQ(queue->count, 15);
  zu_fixed_queue_pop(queue.get(), 15);
  EXPECT_EQ(queue->head, 0);
  EXPECT_EQ(queue->count, 0);
}
