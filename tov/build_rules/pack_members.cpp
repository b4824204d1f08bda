// SPDX-License-Identifier: Zlib
#include "pack_members.h"

#include <string.h>

namespace {

constexpr u64 kWindow = 256;
// Members up to this size are read by the opener and written in batches;
// larger ones are copied file to file in the kernel.
constexpr u64 kReadLimit = 64 * 1024;
// A writer that has caught up sleeps until this many members are open, not
// just the next: each sleep costs a wake-up on both sides, as dear as
// opening a small member.
constexpr u64 kBatch = 32;

struct Opened {
  ZuFile* file;
  u64 size;
  bool ok;
  u64 member;         // 1 + the index of the member it holds; 0 while none
  ZuArray<u8> bytes;  // a small member's bytes, read by the opener
};

// Opening is mostly the kernel's walk through folders: two threads at it
// keep ahead of the writer on two processors, more only contend.
constexpr u32 kOpeners = 2;

}  // namespace

struct PackOpener {
  const char* const* paths;
  u64 count;
  Opened ring[kWindow];  // member i in ring[i % kWindow] from its open until member i + kWindow opens
  // The hand-over of each member is a store and a load on either side; the
  // mutex is taken only when one side sleeps, or wakes one that sleeps.
  // Both sides store before they load, so one of them sees the other.
  ZuMutex* mutex;
  ZuCond* opened;    // the writer waits here for the member it wants
  ZuCond* released;  // openers wait here for a slot to be freed
  u64 next;          // the next member an opener takes on
  u64 freed;         // members [0, freed) are copied: their files may be closed
  u64 wanted;        // 1 + the member the writer sleeps for; 0 while it does not
  u64 needed;        // the least of freed that a sleeping opener waits for; ~0 while none sleeps
  bool stop;
  u32 thread_count;  // 0 when opening runs in pack_opener_take
  ZuThread* threads[kOpeners];
};

namespace {

void open_member(const char* path, Opened* member) {
  member->file = nullptr;
  member->size = 0;
  member->ok = false;
  member->bytes.count = 0;
  if (!path) return;
  member->file = filesystem_file_create(path, 0, 0);
  if (!member->file) return;
  member->ok = true;
  member->size = filesystem_file_size(member->file);
  if (member->size > kReadLimit) return;
  zu_array_reserve(&member->bytes, member->size);
  member->bytes.count = (u32)filesystem_file_read(member->file, member->bytes.data, member->size);
  if (member->bytes.count != member->size) {  // left to the copy, which reports it
    member->bytes.count = 0;
    return;
  }
  filesystem_file_destroy(member->file);
  member->file = nullptr;
}

u64 load(const u64* value) { return __atomic_load_n(value, __ATOMIC_SEQ_CST); }
void store(u64* value, u64 to) { __atomic_store_n(value, to, __ATOMIC_SEQ_CST); }

// Each opener takes on the next member in order, once the member a window
// before it, whose slot it reuses, is released.
u32 open_ahead(void* argument) {
  PackOpener* opener = (PackOpener*)argument;
  for (;;) {
    u64 i = __atomic_fetch_add(&opener->next, 1, __ATOMIC_RELAXED);
    if (i >= opener->count) break;
    if (i - load(&opener->freed) >= kWindow) {
      // Its slot still holds member i - kWindow: sleep until that is released.
      u64 need = i - kWindow + 1;
      thread_mutex_lock(opener->mutex);
      while (!opener->stop) {
        if (load(&opener->needed) > need) store(&opener->needed, need);
        if (load(&opener->freed) >= need) break;
        thread_cond_wait(opener->released, opener->mutex);
      }
      bool stop = opener->stop;
      thread_mutex_unlock(opener->mutex);
      if (stop) break;
    }
    if (__atomic_load_n(&opener->stop, __ATOMIC_RELAXED)) break;
    Opened* slot = opener->ring + i % kWindow;
    filesystem_file_destroy(slot->file);  // member i - kWindow, released
    open_member(opener->paths[i], slot);
    store(&slot->member, i + 1);
    if (load(&opener->wanted) == i + 1) {
      thread_mutex_lock(opener->mutex);
      thread_cond_wake_all(opener->opened);
      thread_mutex_unlock(opener->mutex);
    }
  }
  return 0;
}

// The writer's side of the hand-over of member index.
void wait_opened(PackOpener* opener, u64 index) {
  Opened* slot = opener->ring + index % kWindow;
  store(&opener->wanted, index + 1);
  if (load(&slot->member) != index + 1) {
    thread_mutex_lock(opener->mutex);
    while (load(&slot->member) != index + 1) thread_cond_wait(opener->opened, opener->mutex);
    thread_mutex_unlock(opener->mutex);
  }
  store(&opener->wanted, 0);
}

}  // namespace

PackOpener* pack_opener_create(const char* const* paths, u64 count) {
  PackOpener* opener = (PackOpener*)sys_malloc(sizeof(PackOpener));
  memset((void*)opener, 0, sizeof(*opener));
  opener->paths = paths;
  opener->count = count;
  opener->needed = ~0ull;
  opener->mutex = thread_mutex_create();
  opener->opened = thread_cond_create();
  opener->released = thread_cond_create();
  // One processor, or no thread that can start: members open as taken.
  if (thread_util_hardware_concurrency() > 1)
    for (u32 t = 0; t < kOpeners; ++t)
      if (ZuThread* thread = thread_thread_create(open_ahead, opener, "pack opener", ~0ull))
        opener->threads[opener->thread_count++] = thread;
  return opener;
}

bool pack_opener_take(PackOpener* opener, u64 index, PackMember* member) {
  Opened* slot = opener->ring + index % kWindow;
  if (opener->thread_count == 0) {
    open_member(opener->paths[index], slot);
  } else if (load(&slot->member) != index + 1) {
    u64 last = index + kBatch < opener->count ? index + kBatch : opener->count;
    wait_opened(opener, last - 1);
    wait_opened(opener, index);
  }
  *member = {slot->file, slot->size, slot->file ? nullptr : slot->bytes.data};
  return slot->ok;
}

void pack_opener_release(PackOpener* opener, u64 index) {
  if (opener->thread_count == 0) {
    Opened* slot = opener->ring + index % kWindow;
    filesystem_file_destroy(slot->file);
    slot->file = nullptr;
    return;
  }
  store(&opener->freed, index + 1);
  if (index + 1 < load(&opener->needed)) return;
  thread_mutex_lock(opener->mutex);
  store(&opener->needed, ~0ull);
  thread_cond_wake_all(opener->released);
  thread_mutex_unlock(opener->mutex);
}

void pack_opener_destroy(PackOpener* opener) {
  thread_mutex_lock(opener->mutex);
  __atomic_store_n(&opener->stop, true, __ATOMIC_SEQ_CST);
  thread_cond_wake_all(opener->released);
  thread_mutex_unlock(opener->mutex);
  for (u32 t = 0; t < opener->thread_count; ++t) {
    thread_thread_join(opener->threads[t]);
    thread_thread_destroy(opener->threads[t]);
  }
  for (u64 i = 0; i < kWindow; ++i) {
    filesystem_file_destroy(opener->ring[i].file);
    zu_array_destroy(&opener->ring[i].bytes);
  }
  thread_cond_destroy(opener->opened);
  thread_cond_destroy(opener->released);
  thread_mutex_destroy(opener->mutex);
  sys_free(opener);
}
