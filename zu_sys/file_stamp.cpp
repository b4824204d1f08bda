// SPDX-License-Identifier: Zlib
// File stamps: how a game's reload tells an archive replaced on disk from
// the one it mapped, with one stat.
#include <string.h>
#include <sys/stat.h>

#include "internal.h"

void stamp_from_stat(const struct stat* info, ZuFileStamp* out) {
  out->device = (u64)info->st_dev;
  out->inode = (u64)info->st_ino;
  out->size = (u64)info->st_size;
  out->modified = (u64)info->st_mtim.tv_sec * 1000000000ull + (u64)info->st_mtim.tv_nsec;
}

namespace {

bool stamp_of(const char* path, bool folder, ZuFileStamp* out) {
  struct stat info;
  if (stat(path, &info) != 0 || !(folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode))) {
    memset(out, 0, sizeof(*out));
    return false;
  }
  stamp_from_stat(&info, out);
  return true;
}

}  // namespace

bool filesystem_get_stamp(const char* path, ZuFileStamp* out) { return stamp_of(path, false, out); }

bool filesystem_get_folder_stamp(const char* path, ZuFileStamp* out) {
  return stamp_of(path, true, out);
}
