// SPDX-License-Identifier: Zlib
#include "zu_fixed_queue.h"

#include <string.h>

void zu_fixed_queue_init(ZuFixedQueue* queue) {
  memset(queue->slots, 0, sizeof(queue->slots));
  queue->capacity = kZuFixedQueueSlots;
  queue->head = 0;
  queue->count = 0;
  queue->second_start = kZuFixedQueueNoRegion;
  queue->second_count = 0;
}

void* zu_fixed_queue_push(ZuFixedQueue* queue, u16 n) {
  bool opened = false;
  if (queue->second_start == kZuFixedQueueNoRegion) {
    if ((u32)queue->head + queue->count + n <= queue->capacity) {
      void* slots = queue->slots[queue->head + queue->count];
      queue->count += n;
      return slots;
    }
    queue->second_start = 0;
    queue->second_count = 0;
    opened = true;
  }
  u32 end = (u32)queue->second_start + queue->second_count;
  if (end + n < queue->head) {
    queue->second_count += n;
    return queue->slots[end];
  }
  if (opened) queue->second_start = kZuFixedQueueNoRegion;
  return nullptr;
}

void zu_fixed_queue_pop(ZuFixedQueue* queue, u16 n) {
  while (n > 0 && queue->count > 0) {
    u16 taken = n < queue->count ? n : queue->count;
    queue->head += taken;
    queue->count -= taken;
    n -= taken;
    if (queue->count > 0) break;
    if (queue->second_start != kZuFixedQueueNoRegion) {
      queue->head = queue->second_start;
      queue->count = queue->second_count;
      queue->second_start = kZuFixedQueueNoRegion;
      queue->second_count = 0;
    } else {
      queue->head = 0;
    }
  }
}
