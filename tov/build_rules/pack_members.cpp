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
  ZuArray<u8> bytes;  // a small member's bytes, read by the opener
};

}  // namespace

struct PackOpener {
  const char* const* paths;
  u64 count;
  Opened ring[kWindow];  // member i in ring[i % kWindow] from its open until member i + kWindow opens
  ZuMutex* mutex;
  ZuCond* changed;  // a member was opened or released, or the opener stops
  u64 opened;       // members [0, opened) have been opened (or failed to)
  u64 released;     // members [0, released) are copied: their files may be closed
  bool stop;
  ZuThread* thread;  // null when opening runs in pack_opener_take
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

u32 open_ahead(void* argument) {
  PackOpener* opener = (PackOpener*)argument;
  thread_mutex_lock(opener->mutex);
  for (u64 i = 0; i < opener->count; ++i) {
    while (!opener->stop && i - opener->released >= kWindow)
      thread_cond_wait(opener->changed, opener->mutex);
    if (opener->stop) break;
    Opened* slot = opener->ring + i % kWindow;
    thread_mutex_unlock(opener->mutex);
    filesystem_file_destroy(slot->file);  // member i - kWindow, released
    open_member(opener->paths[i], slot);
    thread_mutex_lock(opener->mutex);
    opener->opened = i + 1;
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
  // One processor, or a thread that cannot start: members open as taken.
  if (thread_util_hardware_concurrency() > 1)
    opener->thread = thread_thread_create(open_ahead, opener, "pack opener", ~0ull);
  return opener;
}

bool pack_opener_take(PackOpener* opener, u64 index, PackMember* member) {
  Opened* slot = opener->ring + index % kWindow;
  if (!opener->thread) {
    open_member(opener->paths[index], slot);
  } else {
    thread_mutex_lock(opener->mutex);
    while (opener->opened <= index) thread_cond_wait(opener->changed, opener->mutex);
    thread_mutex_unlock(opener->mutex);
  }
  *member = {slot->file, slot->size, slot->file ? nullptr : slot->bytes.data};
  return slot->ok;
}

void pack_opener_release(PackOpener* opener, u64 index) {
  if (!opener->thread) {
    Opened* slot = opener->ring + index % kWindow;
    filesystem_file_destroy(slot->file);
    slot->file = nullptr;
    return;
  }
  thread_mutex_lock(opener->mutex);
  opener->released = index + 1;
  // The opener waits only when a whole window is open.
  if (opener->opened - opener->released == kWindow - 1) thread_cond_wake_all(opener->changed);
  thread_mutex_unlock(opener->mutex);
}

void pack_opener_destroy(PackOpener* opener) {
  if (opener->thread) {
    thread_mutex_lock(opener->mutex);
    opener->stop = true;
    thread_cond_wake_all(opener->changed);
    thread_mutex_unlock(opener->mutex);
    thread_thread_join(opener->thread);
    thread_thread_destroy(opener->thread);
  }
  for (u64 i = 0; i < kWindow; ++i) {
    filesystem_file_destroy(opener->ring[i].file);
    zu_array_destroy(&opener->ring[i].bytes);
  }
  thread_cond_destroy(opener->changed);
  thread_mutex_destroy(opener->mutex);
  sys_free(opener);
}
