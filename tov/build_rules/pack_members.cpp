// SPDX-License-Identifier: Zlib
#include "pack_members.h"

#include <string.h>

namespace {

constexpr u64 kWindow = 256;
// Members up to this size are read by the opener and written in batches;
// larger ones are copied file to file in the kernel.
constexpr u64 kReadLimit = 64 * 1024;

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
  ZuMutex* mutex;
  ZuCond* changed;  // a member was opened or released, or the openers stop
  u64 next;         // the next member an opener takes on
  u64 released;     // members [0, released) are copied: their files may be closed
  u32 waiting;      // openers waiting for a member to be released
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

// Each opener takes on the next member in order, once the member a window
// before it, whose slot it reuses, is released.
u32 open_ahead(void* argument) {
  PackOpener* opener = (PackOpener*)argument;
  thread_mutex_lock(opener->mutex);
  while (!opener->stop && opener->next < opener->count) {
    u64 i = opener->next++;
    ++opener->waiting;
    while (!opener->stop && i - opener->released >= kWindow)
      thread_cond_wait(opener->changed, opener->mutex);
    --opener->waiting;
    if (opener->stop) break;
    Opened* slot = opener->ring + i % kWindow;
    thread_mutex_unlock(opener->mutex);
    filesystem_file_destroy(slot->file);  // member i - kWindow, released
    open_member(opener->paths[i], slot);
    thread_mutex_lock(opener->mutex);
    slot->member = i + 1;
    thread_cond_wake_all(opener->changed);
  }
  thread_mutex_unlock(opener->mutex);
  return 0;
}

}  // namespace

PackOpener* pack_opener_create(const char* const* paths, u64 count) {
  PackOpener* opener = (PackOpener*)sys_malloc(sizeof(PackOpener));
  memset((void*)opener, 0, sizeof(*opener));
  opener->paths = paths;
  opener->count = count;
  opener->mutex = thread_mutex_create();
  opener->changed = thread_cond_create();
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
  } else {
    thread_mutex_lock(opener->mutex);
    while (slot->member != index + 1) thread_cond_wait(opener->changed, opener->mutex);
    thread_mutex_unlock(opener->mutex);
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
  thread_mutex_lock(opener->mutex);
  opener->released = index + 1;
  if (opener->waiting) thread_cond_wake_all(opener->changed);
  thread_mutex_unlock(opener->mutex);
}

void pack_opener_destroy(PackOpener* opener) {
  thread_mutex_lock(opener->mutex);
  opener->stop = true;
  thread_cond_wake_all(opener->changed);
  thread_mutex_unlock(opener->mutex);
  for (u32 t = 0; t < opener->thread_count; ++t) {
    thread_thread_join(opener->threads[t]);
    thread_thread_destroy(opener->threads[t]);
  }
  for (u64 i = 0; i < kWindow; ++i) {
    filesystem_file_destroy(opener->ring[i].file);
    zu_array_destroy(&opener->ring[i].bytes);
  }
  thread_cond_destroy(opener->changed);
  thread_mutex_destroy(opener->mutex);
  sys_free(opener);
}
