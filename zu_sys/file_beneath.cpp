// SPDX-License-Identifier: Zlib
// Writing a file named by someone else (an archive's entry) inside a folder
// without ever leaving it: no absolute names, no "..", and no symbolic link
// followed on the way, since a link planted in the folder could lead
// anywhere.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace {

// Every component of name is a plain name: no empty, "." or ".." one.
bool stays_beneath(const char* name) {
  if (!name[0]) return false;
  for (const char* part = name;;) {
    const char* end = strchr(part, '/');
    u64 length = end ? (u64)(end - part) : strlen(part);
    if (length == 0 || (part[0] == '.' && (length == 1 || (length == 2 && part[1] == '.'))))
      return false;
    if (!end) return true;
    part = end + 1;
  }
}

}  // namespace

ZuFile* filesystem_file_create_beneath(const char* folder, const char* name, bool overwrite,
                                       const char** error) {
  *error = "the name leads outside the folder";
  if (!stays_beneath(name)) return nullptr;
  int at = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (at < 0 && errno == ENOENT) {
    char* inside = (char*)sys_malloc(strlen(folder) + 3);
    sprintf(inside, "%s/x", folder);
    if (path_create_parents(inside)) at = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    sys_free(inside);
  }
  if (at < 0) {
    *error = strerror(errno);
    return nullptr;
  }
  *error = "a name in it is too long";
  // Down the folders of name, making those missing; a link or a file where
  // a folder should be stops the walk.
  char part[256];
  const char* from = name;
  for (const char* slash; (slash = strchr(from, '/')); from = slash + 1) {
    u64 length = (u64)(slash - from);
    if (length >= sizeof(part)) break;
    memcpy(part, from, length);
    part[length] = 0;
    int next = -1;
    if (mkdirat(at, part, 0755) == 0 || errno == EEXIST)
      next = openat(at, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      *error = errno == ELOOP || errno == ENOTDIR ? "a symbolic link or a file is in the way"
                                                  : strerror(errno);
      close(at);
      return nullptr;
    }
    close(at);
    at = next;
  }
  if (strchr(from, '/') || strlen(from) >= sizeof(part) - 64) {
    close(at);
    return nullptr;
  }
  struct stat info;
  if (fstatat(at, from, &info, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!overwrite || !S_ISREG(info.st_mode)) {
      *error = S_ISLNK(info.st_mode)   ? "a symbolic link or a file is in the way"
               : S_ISREG(info.st_mode) ? "the file exists"
                                       : "something other than a file is in the way";
      close(at);
      return nullptr;
    }
  }
  char* temporary = path_temporary_beside(from);
  int descriptor =
      openat(at, temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    *error = strerror(errno);
    sys_free(temporary);
    close(at);
    return nullptr;
  }
  *error = nullptr;
  return file_output_create(descriptor, at, from, temporary, 0, overwrite);
}
