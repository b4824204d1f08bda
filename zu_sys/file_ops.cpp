// SPDX-License-Identifier: Zlib
// Small operations on whole files by path, for stores shared between
// processes (the build cache): size, removal, a touch, and appending one
// record whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

u64 filesystem_get_size(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return (u64)info.st_size;
}

bool filesystem_remove_file(const char* path) { return unlink(path) == 0; }

bool filesystem_touch(const char* path) { return utimensat(AT_FDCWD, path, nullptr, 0) == 0; }

bool filesystem_append(const char* path, const void* data, u64 size) {
  // One write of an O_APPEND file: records of processes that append at once
  // do not interleave (for records this small, on a local file system).
  int descriptor = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (descriptor < 0) return false;
  bool ok = write(descriptor, data, size) == (ssize_t)size;
  return close(descriptor) == 0 && ok;
}
