// SPDX-License-Identifier: Zlib
// Watching folders with inotify: one watch per folder, events turned into
// paths.
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "internal.h"
#include "zu_array.h"

namespace {

struct Watched {
  int descriptor;
  char* folder;  // sys_malloc'ed
};

char* copy_text(const char* text) {
  u64 size = strlen(text) + 1;
  char* copy = (char*)sys_malloc(size);
  memcpy(copy, text, size);
  return copy;
}

constexpr u32 kMask = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                      IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                      IN_EXCL_UNLINK;

}  // namespace

struct ZuWatch {
  int descriptor;
  ZuArray<Watched> watched;
  // Events read but not handed out yet (more than a call had room for).
  alignas(struct inotify_event) char buffer[64 * 1024];
  u64 begin, end;
};

ZuWatch* filesystem_watch_create(void) {
  int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (descriptor < 0) return nullptr;
  ZuWatch* watch = (ZuWatch*)sys_malloc(sizeof(ZuWatch));
  memset((void*)watch, 0, sizeof(*watch) - sizeof(watch->buffer));
  watch->descriptor = descriptor;
  watch->begin = watch->end = 0;
  return watch;
}

void filesystem_watch_destroy(ZuWatch* watch) {
  if (!watch) return;
  close(watch->descriptor);
  for (u32 i = 0; i < watch->watched.count; ++i) sys_free(watch->watched.data[i].folder);
  zu_array_destroy(&watch->watched);
  sys_free(watch);
}

bool filesystem_watch_add(ZuWatch* watch, const char* folder) {
  int descriptor = inotify_add_watch(watch->descriptor, folder, kMask);
  if (descriptor < 0) return false;
  for (u32 i = 0; i < watch->watched.count; ++i) {
    Watched* watched = watch->watched.data + i;
    if (watched->descriptor != descriptor) continue;
    sys_free(watched->folder);  // the same folder, maybe by another name
    watched->folder = copy_text(folder);
    return true;
  }
  Watched* watched = zu_array_push_zeroed(&watch->watched);
  watched->descriptor = descriptor;
  watched->folder = copy_text(folder);
  return true;
}

namespace {

Watched* find_watched(ZuWatch* watch, int descriptor, u32* index) {
  for (u32 i = 0; i < watch->watched.count; ++i)
    if (watch->watched.data[i].descriptor == descriptor) {
      *index = i;
      return watch->watched.data + i;
    }
  return nullptr;
}

// Turns one raw event into zero or one event for the caller.
bool translate(ZuWatch* watch, const struct inotify_event* raw, ZuWatchEvent* out) {
  out->flags = 0;
  out->path[0] = 0;
  if (raw->mask & IN_Q_OVERFLOW) {
    out->flags = ZU_WATCH_OVERFLOW;
    return true;
  }
  u32 index;
  Watched* watched = find_watched(watch, raw->wd, &index);
  if (!watched) return false;
  const char* folder = watched->folder;
  if (raw->mask & IN_IGNORED) {  // the watch is gone (its folder removed)
    sys_free(watched->folder);
    zu_array_remove(&watch->watched, index);
    return false;
  }
  if (raw->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
    out->flags = ZU_WATCH_GONE | ZU_WATCH_FOLDER;
    sys_strncpy(out->path, folder, sizeof(out->path));
    return true;
  }
  if (raw->len == 0) return false;
  u64 length = (u64)sys_snprintf(out->path, sizeof(out->path), "%s/%s", folder, raw->name);
  // A path longer than any the build lists: the caller looks at everything.
  if (length >= sizeof(out->path)) out->flags = ZU_WATCH_OVERFLOW;
  if (raw->mask & IN_ISDIR) out->flags |= ZU_WATCH_FOLDER;
  return true;
}

}  // namespace

i64 filesystem_watch_wait(ZuWatch* watch, ZuWatchEvent* events, u64 capacity, u32 timeout_ms) {
  u64 written = 0;
  for (;;) {
    while (watch->begin < watch->end && written < capacity) {
      const struct inotify_event* raw = (const struct inotify_event*)(watch->buffer + watch->begin);
      watch->begin += sizeof(struct inotify_event) + raw->len;
      if (translate(watch, raw, events + written)) ++written;
    }
    if (written > 0 || capacity == 0) return (i64)written;
    if (sys_interrupted()) return -1;
    ssize_t got = read(watch->descriptor, watch->buffer, sizeof(watch->buffer));
    if (got > 0) {
      watch->begin = 0;
      watch->end = (u64)got;
      continue;
    }
    if (got < 0 && errno != EAGAIN && errno != EINTR) return 0;
    struct pollfd waits[2] = {{watch->descriptor, POLLIN, 0}, {interrupt_descriptor(), POLLIN, 0}};
    int ready = poll(waits, waits[1].fd >= 0 ? 2 : 1, timeout_ms == ~0u ? -1 : (int)timeout_ms);
    if (ready == 0) return 0;
    if (sys_interrupted()) return -1;
  }
}
