// SPDX-License-Identifier: Zlib
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace {

char g_exe_path[PATH_MAX + 1];
char g_exe_dir[PATH_MAX + 1];

pthread_once_t g_exe_once = PTHREAD_ONCE_INIT;

void resolve_exe_once(void) {
  ssize_t length = readlink("/proc/self/exe", g_exe_path, PATH_MAX);
  if (length <= 0) length = 0;
  g_exe_path[length] = 0;
  memcpy(g_exe_dir, g_exe_path, (u64)length + 1);
  char* slash = strrchr(g_exe_dir, '/');
  if (slash) slash[1] = 0;
}

void resolve_exe(void) { pthread_once(&g_exe_once, resolve_exe_once); }

// Copies the file behind source to destination_descriptor, in the kernel.
bool copy_contents(int source, int destination) {
  for (;;) {
    ssize_t copied = copy_file_range(source, nullptr, destination, nullptr, 1u << 30, 0);
    if (copied == 0) return true;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;
  }
  // File systems without copy_file_range: plain reads and writes.
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = read(source, buffer, sizeof(buffer));
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t written = write(destination, buffer + done, (size_t)(got - done));
      if (written < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += written;
    }
  }
}

}  // namespace

bool path_create_parents(const char* path) {
  u64 length = strlen(path);
  char* copy = (char*)sys_malloc(length + 1);
  memcpy(copy, path, length + 1);
  bool ok = true;
  char* last = strrchr(copy, '/');
  if (last && last != copy) {
    *last = 0;
    for (char* at = copy + 1; ok; ++at) {
      if (*at != '/' && *at != 0) continue;
      char kept = *at;
      *at = 0;
      if (mkdir(copy, 0755) != 0 && errno != EEXIST) ok = false;
      *at = kept;
      if (!kept) break;
    }
  }
  sys_free(copy);
  return ok;
}

// Whether the permission bits let this process read (and, for a folder,
// list) what info describes. Read from the one stat already made: a second
// system call per file would double the cost of scanning a large tree.
static bool permits(const struct stat& info, bool folder) {
  static const uid_t user = geteuid();  // a system call each time otherwise
  if (user == 0) return !folder || (info.st_mode & 0111) != 0;
  mode_t read = S_IROTH, list = S_IXOTH;
  if (info.st_uid == user) {
    read = S_IRUSR;
    list = S_IXUSR;
  } else if (static const gid_t group = getegid(); info.st_gid == group) {
    read = S_IRGRP;
    list = S_IXGRP;
  }
  return (info.st_mode & read) && (!folder || (info.st_mode & list));
}

u32 filesystem_get_attr(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return 0;
  // A folder that can be listed counts as one that can be opened: commands
  // such as mirror_dir take folders as their inputs.
  u32 special = S_ISDIR(info.st_mode) || S_ISREG(info.st_mode) ? 0 : ZU_ATTR_SPECIAL;
  if (!permits(info, S_ISDIR(info.st_mode))) return ZU_ATTR_EXISTS | special;
  return ZU_ATTR_EXISTS | ZU_ATTR_READABLE_FILE | special;
}

bool filesystem_resolve_path(const char* path, char* out, u64 size) {
  char* resolved = realpath(path, nullptr);
  if (!resolved) return false;
  u64 length = strlen(resolved);
  bool fits = length < size;
  if (fits) memcpy(out, resolved, length + 1);
  free(resolved);
  return fits;
}

bool filesystem_same_file(const char* a, const char* b) {
  struct stat first, second;
  if (stat(a, &first) != 0 || stat(b, &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

u64 filesystem_get_last_modified_time(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return 0;
  return (u64)info.st_mtim.tv_sec * 1000000000ull + (u64)info.st_mtim.tv_nsec;
}

char* path_temporary_beside(const char* path) {
  static u64 s_count;
  u64 count = __atomic_add_fetch(&s_count, 1, __ATOMIC_RELAXED);
  const char* slash = strrchr(path, '/');
  u64 folder = slash ? (u64)(slash - path) + 1 : 0;
  const char* name = path + folder;
  // Cut long names so that the temporary one still fits a folder entry.
  int name_length = (int)strnlen(name, 200);
  u64 size = folder + (u64)name_length + 64;
  char* temporary = (char*)sys_malloc(size);
  memcpy(temporary, path, folder);
  snprintf(temporary + folder, size - folder, ".%.*s.%ld.%llu.tmp", name_length, name,
           (long)getpid(), (unsigned long long)count);
  return temporary;
}

bool path_put_in_place(int descriptor, int folder, const char* temporary, const char* path,
                       bool replace, bool durable) {
  if (durable && fsync(descriptor) != 0) return false;
  int keeper = durable && replace ? path_keep_replaced(folder, path) : -1;
  bool renamed = renameat2(folder, temporary, folder, path, replace ? 0 : RENAME_NOREPLACE) == 0;
  path_let_go(keeper);
  if (!renamed) return false;
  if (!durable) return true;
  // The new folder entry must reach the disk too, or a crash can bring
  // back the old file under the new bytes' name, or none.
  if (folder != AT_FDCWD) return fsync(folder) == 0;
  const char* slash = strrchr(path, '/');
  char* name = strndup(path, slash ? (u64)(slash - path) + 1 : 0);
  int folder_descriptor = open(name[0] ? name : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  free(name);
  if (folder_descriptor < 0) return false;
  bool synced = fsync(folder_descriptor) == 0;
  close(folder_descriptor);
  return synced;
}

bool filesystem_copy_file(const char* destination, const char* source, bool overwrite) {
  int from = open(source, O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  struct stat info;
  if (fstat(from, &info) != 0 || S_ISDIR(info.st_mode) ||
      (!overwrite && access(destination, F_OK) == 0)) {
    close(from);
    return false;
  }
  char* temporary = path_temporary_beside(destination);
  int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  int to = open(temporary, flags, 0644);
  if (to < 0 && errno == ENOENT && path_create_parents(temporary)) to = open(temporary, flags, 0644);
  if (to < 0) {
    close(from);
    sys_free(temporary);
    return false;
  }
  bool ok = copy_contents(from, to);
  ok = ok && path_put_in_place(to, AT_FDCWD, temporary, destination, overwrite, false);
  if (close(to) != 0) ok = false;
  if (!ok) unlink(temporary);
  close(from);
  sys_free(temporary);
  return ok;
}

const char* filesystem_get_exe_path(void) {
  resolve_exe();
  return g_exe_path;
}

const char* filesystem_get_exe_dir(void) {
  resolve_exe();
  return g_exe_dir;
}

bool filesystem_set_current_directory(const char* path) { return chdir(path) == 0; }
