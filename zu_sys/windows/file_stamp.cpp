// SPDX-License-Identifier: Zlib
// File stamps on Windows: volume, file index, size and last write time,
// from a handle opened without access rights (no sharing conflict).
#define WIN32_LEAN_AND_MEAN
#include <string.h>
#include <windows.h>

#include "windows_internal.h"

wchar_t* wide_path(const char* path) {
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (length <= 0) return nullptr;
  wchar_t* wide = (wchar_t*)sys_malloc((u64)length * sizeof(wchar_t));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, length);
  return wide;
}

bool stamp_from_handle(void* file, ZuFileStamp* out) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return false;
  out->device = info.dwVolumeSerialNumber;
  out->inode = (u64)info.nFileIndexHigh << 32 | info.nFileIndexLow;
  out->size = (u64)info.nFileSizeHigh << 32 | info.nFileSizeLow;
  // 100-nanosecond ticks since 1601.
  u64 ticks = (u64)info.ftLastWriteTime.dwHighDateTime << 32 | info.ftLastWriteTime.dwLowDateTime;
  out->modified = (ticks - 116444736000000000ull) * 100;
  return true;
}

namespace {

// Folders open only with backup semantics; the attributes tell the two
// apart.
bool stamp_of(const char* path, bool folder, ZuFileStamp* out) {
  memset(out, 0, sizeof(*out));
  wchar_t* wide = wide_path(path);
  if (!wide) return false;
  HANDLE file = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  sys_free(wide);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
            ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder &&
            stamp_from_handle(file, out);
  CloseHandle(file);
  if (!ok) memset(out, 0, sizeof(*out));
  return ok;
}

}  // namespace

bool filesystem_get_stamp(const char* path, ZuFileStamp* out) { return stamp_of(path, false, out); }

bool filesystem_get_folder_stamp(const char* path, ZuFileStamp* out) {
  return stamp_of(path, true, out);
}
