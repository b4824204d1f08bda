#include <errno.h>
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
  if (!permits(info, S_ISDIR(info.st_mode))) return ZU_ATTR_EXISTS;
  return ZU_ATTR_EXISTS | ZU_ATTR_READABLE_FILE;
}

u64 filesystem_get_last_modified_time(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return 0;
  return (u64)info.st_mtim.tv_sec * 1000000000ull + (u64)info.st_mtim.tv_nsec;
}

bool filesystem_copy_file(const char* destination, const char* source, bool overwrite) {
  int from = open(source, O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  struct stat info;
  if (fstat(from, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(from);
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
  int to = open(destination, flags, 0644);
  if (to < 0 && errno == ENOENT && path_create_parents(destination))
    to = open(destination, flags, 0644);
  if (to < 0) {
    close(from);
    return false;
  }
  bool ok = copy_contents(from, to);
  if (close(to) != 0) ok = false;
  close(from);
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
