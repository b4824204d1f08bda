// SPDX-License-Identifier: Zlib
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

// Writes gather here so that a build file or an archive written in many
// small pieces costs few system calls.
constexpr u64 kWriteBuffer = 64 * 1024;

struct ZuFile {
  int descriptor;
  u32 mode;
  u32 flags;
  bool failed;       // a write or flush failed; sticky until the file is closed
  bool abandoned;    // the temporary file is gone: never put in place
  bool replace;      // mode 1: the file may replace one at path
  int folder;        // mode 1: the folder path and temporary are taken from
  u64 written_back;  // ZU_FILE_DURABLE: bytes below this were written when the last sync began
  ZuThread* syncer;  // ZU_FILE_DURABLE: the last background sync, joined by the next or at close
  u32 syncing;       // 1 while a background sync runs or is being started
  char* path;        // mode 1: where the file goes, and where it is written
  char* temporary;
  u64 buffered;      // bytes waiting in buffer
  char* buffer;      // kWriteBuffer bytes, files opened for writing only
  ZuFile* previous;  // the list of files open for writing, for file_flush_all
  ZuFile* next;
  u64 opened_size;  // mode 0: the size when opened, which the reader takes as the file's
};

namespace {

pthread_mutex_t g_open_files_lock = PTHREAD_MUTEX_INITIALIZER;
ZuFile* g_open_files = nullptr;

bool write_descriptor(ZuFile* file, const char* data, u64 size) {
  while (size > 0) {
    ssize_t written = write(file->descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      __atomic_store_n(&file->failed, true, __ATOMIC_RELAXED);
      return false;
    }
    data += written;
    size -= (u64)written;
  }
  return true;
}

// A background sync may mark the file failed at any time.
bool failed(ZuFile* file) { return __atomic_load_n(&file->failed, __ATOMIC_RELAXED); }

bool flush(ZuFile* file) {
  if (file->buffered == 0) return !failed(file);
  u64 size = file->buffered;
  file->buffered = 0;
  return write_descriptor(file, file->buffer, size) && !failed(file);
}

// A durable file is synced before it is put in place, and a sync waits for
// the disk (and a virtual machine's host) to take every byte written so
// far. Synced in the background every few megabytes while the copying goes
// on, the file leaves the final sync little to wait for: for a 76 MB
// archive here, 25 ms instead of 120. One sync runs at a time.
u32 sync_in_background(void* argument) {
  ZuFile* file = (ZuFile*)argument;
  // The failure is the file's: the final sync need not report it again.
  if (fdatasync(file->descriptor) != 0) __atomic_store_n(&file->failed, true, __ATOMIC_RELAXED);
  __atomic_store_n(&file->syncing, 0u, __ATOMIC_RELEASE);
  return 0;
}

void finish_sync(ZuFile* file) {
  if (!file->syncer) return;
  thread_thread_join(file->syncer);
  thread_thread_destroy(file->syncer);
  file->syncer = nullptr;
}

void start_write_back(ZuFile* file, u64 end) {
  constexpr u64 kWriteBackStep = 8u << 20;
  if (!(file->flags & ZU_FILE_DURABLE)) return;
  if (end < __atomic_load_n(&file->written_back, __ATOMIC_RELAXED) + kWriteBackStep) return;
  u32 idle = 0;
  if (!__atomic_compare_exchange_n(&file->syncing, &idle, 1u, false, __ATOMIC_ACQUIRE,
                                   __ATOMIC_RELAXED))
    return;  // a sync runs, or another thread starts one
  __atomic_store_n(&file->written_back, end, __ATOMIC_RELAXED);
  finish_sync(file);  // the one before, which has ended
  file->syncer = thread_thread_create(sync_in_background, file, "file sync", ~0ull);
  if (!file->syncer) __atomic_store_n(&file->syncing, 0u, __ATOMIC_RELEASE);
}

}  // namespace

// Set once while the library loads, before any thread can exit.
const bool g_exit_cleanup_set = (g_exit_cleanup = file_abandon_all, true);

void file_abandon_all(void) {
  pthread_mutex_lock(&g_open_files_lock);
  for (ZuFile* file = g_open_files; file; file = file->next) {
    if (!file->abandoned) unlinkat(file->folder, file->temporary, 0);
    file->abandoned = true;
  }
  pthread_mutex_unlock(&g_open_files_lock);
}

ZuFile* file_output_create(int descriptor, int folder, const char* path, char* temporary,
                           u32 flags, bool replace) {
  ZuFile* file = (ZuFile*)sys_malloc(sizeof(ZuFile));
  memset(file, 0, sizeof(*file));
  file->descriptor = descriptor;
  file->mode = 1;
  file->flags = flags;
  file->replace = replace;
  file->folder = folder;
  u64 length = strlen(path);
  file->path = (char*)sys_malloc(length + 1);
  memcpy(file->path, path, length + 1);
  file->temporary = temporary;
  file->buffer = (char*)sys_malloc(kWriteBuffer);
  pthread_mutex_lock(&g_open_files_lock);
  file->next = g_open_files;
  if (g_open_files) g_open_files->previous = file;
  g_open_files = file;
  pthread_mutex_unlock(&g_open_files_lock);
  return file;
}

ZuFile* filesystem_file_create(const char* path, u32 mode, u32 flags) {
  int descriptor;
  char* temporary = nullptr;
  struct stat info;
  if (mode == 0) {
    descriptor = open(path, O_RDONLY | O_CLOEXEC);
  } else {
    if (stat(path, &info) == 0 && S_ISDIR(info.st_mode)) return nullptr;
    temporary = path_temporary_beside(path);
    int how = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    descriptor = open(temporary, how, 0644);
    if (descriptor < 0 && errno == ENOENT && path_create_parents(temporary))
      descriptor = open(temporary, how, 0644);
    if (descriptor < 0) sys_free(temporary);
  }
  if (descriptor < 0) return nullptr;
  if (fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(descriptor);
    if (temporary) unlink(temporary);
    sys_free(temporary);
    return nullptr;
  }
  if (mode != 0) return file_output_create(descriptor, AT_FDCWD, path, temporary, flags, true);
  ZuFile* file = (ZuFile*)sys_malloc(sizeof(ZuFile));
  memset(file, 0, sizeof(*file));
  file->descriptor = descriptor;
  file->opened_size = (u64)info.st_size;
  return file;  // nothing to remove at exit: kept off the shared list
}

namespace {

// Takes file off the list of files open for writing, and closes it.
bool close_file(ZuFile* file) {
  if (file->mode != 0) {
    pthread_mutex_lock(&g_open_files_lock);
    if (file->previous)
      file->previous->next = file->next;
    else
      g_open_files = file->next;
    if (file->next) file->next->previous = file->previous;
    pthread_mutex_unlock(&g_open_files_lock);
  }
  finish_sync(file);  // whose failure is the file's
  bool ok = flush(file) && !(file->mode != 0 && file->abandoned);
  if (file->mode != 0 && ok)
    ok = path_put_in_place(file->descriptor, file->folder, file->temporary, file->path,
                           file->replace, (file->flags & ZU_FILE_DURABLE) != 0);
  if (close(file->descriptor) != 0 && file->mode != 0) ok = false;
  return ok;
}

void free_file(ZuFile* file) {
  sys_free(file->buffer);
  sys_free(file->path);
  sys_free(file->temporary);
  if (file->mode != 0 && file->folder != AT_FDCWD) close(file->folder);
  sys_free(file);
}

}  // namespace

bool filesystem_file_destroy(ZuFile* file) {
  if (!file) return false;
  bool ok = close_file(file);
  if (file->mode != 0 && !ok && !file->abandoned) unlinkat(file->folder, file->temporary, 0);
  free_file(file);
  return ok;
}

void filesystem_file_discard(ZuFile* file) {
  if (!file) return;
  if (file->mode != 0 && !file->abandoned) {
    unlinkat(file->folder, file->temporary, 0);
    file->abandoned = true;
    file->buffered = 0;
  }
  close_file(file);
  free_file(file);
}

u64 filesystem_file_read(ZuFile* file, void* buffer, u64 size) {
  u64 done = 0;
  while (done < size) {
    ssize_t got = read(file->descriptor, (char*)buffer + done, size - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (got == 0) break;
    done += (u64)got;
  }
  return done;
}

u64 filesystem_file_write(ZuFile* file, const void* data, u64 size) {
  if (file->mode == 0 || failed(file) || size == 0) return 0;
  if (file->buffered + size <= kWriteBuffer) {
    memcpy(file->buffer + file->buffered, data, size);
    file->buffered += size;
    return size;
  }
  if (!flush(file)) return 0;
  if (size >= kWriteBuffer) return write_descriptor(file, (const char*)data, size) ? size : 0;
  memcpy(file->buffer, data, size);
  file->buffered = size;
  return size;
}

u64 filesystem_file_size(ZuFile* file) {
  // Opening a file for reading already asked its size: asking again costs a
  // system call per file, which a pack of many small files feels.
  if (file->mode == 0) return file->opened_size;
  flush(file);
  struct stat info;
  if (fstat(file->descriptor, &info) != 0) return 0;
  return (u64)info.st_size;
}

bool filesystem_file_seek(ZuFile* file, u64 offset) {
  if (file->mode != 0 && !flush(file)) return false;
  return lseek(file->descriptor, (off_t)offset, SEEK_SET) == (off_t)offset;
}

static u64 copy_range(ZuFile* file, u64 offset, ZuFile* source, u64 size);

// Writes size bytes at offset; the bytes written, fewer when a write failed
// (then the file is marked failed).
static u64 write_at(ZuFile* file, u64 offset, const char* data, u64 size) {
  u64 put = 0;
  while (put < size) {
    ssize_t written = pwrite(file->descriptor, data + put, size - put, (off_t)(offset + put));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      __atomic_store_n(&file->failed, true, __ATOMIC_RELAXED);
      break;
    }
    put += (u64)written;
  }
  return put;
}

u64 filesystem_file_write_at(ZuFile* file, u64 offset, const void* data, u64 size) {
  if (file->mode == 0) return 0;
  u64 put = write_at(file, offset, (const char*)data, size);
  start_write_back(file, offset + put);
  return put;
}

u64 filesystem_file_copy_at(ZuFile* file, u64 offset, ZuFile* source, u64 size) {
  if (file->mode == 0) return 0;
  u64 copied = copy_range(file, offset, source, size);
  start_write_back(file, offset + copied);
  return copied;
}

static u64 copy_range(ZuFile* file, u64 offset, ZuFile* source, u64 size) {
  u64 copied = 0;
  bool kernel = true;
  while (kernel && copied < size) {
    off64_t from = (off64_t)copied, to = (off64_t)(offset + copied);
    ssize_t done =
        copy_file_range(source->descriptor, &from, file->descriptor, &to, size - copied, 0);
    if (done > 0) {
      copied += (u64)done;
      continue;
    }
    if (done == 0) return copied;  // source is shorter than size
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
      __atomic_store_n(&file->failed, true, __ATOMIC_RELAXED);
      return copied;
    }
    kernel = false;  // this file system pair cannot: copy through a buffer of this call
  }
  if (copied == size) return copied;
  char* buffer = (char*)sys_malloc(kWriteBuffer);
  while (copied < size) {
    u64 want = size - copied < kWriteBuffer ? size - copied : kWriteBuffer;
    ssize_t got = pread(source->descriptor, buffer, want, (off_t)copied);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    u64 put = write_at(file, offset + copied, buffer, (u64)got);
    copied += put;
    if (put < (u64)got) break;
  }
  sys_free(buffer);
  return copied;
}

bool filesystem_file_failed(ZuFile* file) { return failed(file); }
