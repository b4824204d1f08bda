// SPDX-License-Identifier: Zlib
// A first-in first-out queue of 512 16-byte slots that never allocates. Its
// slots form up to two regions: the first from head, and a second one that
// opens at slot 0 when the first reaches the end and always stops one slot
// short of head.
#pragma once

#include "zu_sys.h"

constexpr u16 kZuFixedQueueSlots = 512;
constexpr u16 kZuFixedQueueNoRegion = 65535;

struct ZuFixedQueue {
  u8 slots[kZuFixedQueueSlots][16];
  u16 capacity;
  u16 head;          // oldest slot of the first region
  u16 count;         // slots in the first region
  u16 second_start;  // kZuFixedQueueNoRegion when there is none
  u16 second_count;
};
static_assert(sizeof(ZuFixedQueue) == 8192 + 10, "slots, then five u16 fields");

void zu_fixed_queue_init(ZuFixedQueue* queue);
// n contiguous free slots, or null when the queue has no room for them.
void* zu_fixed_queue_push(ZuFixedQueue* queue, u16 n);
// Releases the n oldest slots.
void zu_fixed_queue_pop(ZuFixedQueue* queue, u16 n);
