// SPDX-License-Identifier: Zlib
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

namespace {

// A path taken from working_dir unless it is absolute.
void resolve(char* out, u64 size, const char* path, const char* working_dir) {
  if (path[0] == '/' || !working_dir || !working_dir[0]) {
    sys_strncpy(out, path, size);
    return;
  }
  u64 length = strlen(working_dir);
  const char* separator = working_dir[length - 1] == '/' ? "" : "/";
  sys_snprintf(out, size, "%s%s%s", working_dir, separator, path);
}

char (*list_all(const char* folder, u64* count))[ZU_PATH_SLOT] {
  *count = filesystem_list_directory_files(folder, nullptr, true, false, nullptr, 0);
  char(*slots)[ZU_PATH_SLOT] = (char(*)[ZU_PATH_SLOT])sys_malloc(*count * ZU_PATH_SLOT);
  *count = filesystem_list_directory_files(folder, nullptr, true, false, slots, *count);
  return slots;
}

}  // namespace

bool filesystem_mirror_directory(const char* destination, const char* source,
                                 const char* working_dir) {
  char from[ZU_PATH_SLOT], to[ZU_PATH_SLOT];
  resolve(from, sizeof(from), source, working_dir);
  resolve(to, sizeof(to), destination, working_dir);
  struct stat info;
  if (stat(from, &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  u64 from_length = strlen(from) + (sys_strend(from, "/") ? 0 : 1);
  u64 to_length = strlen(to) + (sys_strend(to, "/") ? 0 : 1);
  bool ok = true;
  char target[ZU_PATH_SLOT * 2];
  u64 source_count;
  char(*sources)[ZU_PATH_SLOT] = list_all(from, &source_count);
  for (u64 i = 0; i < source_count; ++i) {
    sys_snprintf(target, sizeof(target), "%s%s%s", to, sys_strend(to, "/") ? "" : "/",
                 sources[i] + from_length);
    if (!filesystem_copy_file(target, sources[i], true)) ok = false;
  }
  // Files the source lacks go, so the copy is a mirror.
  u64 target_count;
  char(*targets)[ZU_PATH_SLOT] = list_all(to, &target_count);
  char wanted[ZU_PATH_SLOT * 2];
  for (u64 i = 0; i < target_count; ++i) {
    sys_snprintf(wanted, sizeof(wanted), "%s%s%s", from, sys_strend(from, "/") ? "" : "/",
                 targets[i] + to_length);
    if (!(filesystem_get_attr(wanted) & ZU_ATTR_EXISTS) && unlink(targets[i]) != 0) ok = false;
  }
  sys_free(sources);
  sys_free(targets);
  return ok;
}
