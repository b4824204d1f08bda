// SPDX-License-Identifier: Zlib
// Read-only file mappings on Windows, for the archive runtime. Paths are
// UTF-8, as everywhere in the engine, and go to the wide API as UTF-16, so
// any name the file system holds can be opened.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "windows_internal.h"

ZuMappedFile* filesystem_mapped_file_create(const char* path) {
  wchar_t* wide = wide_path(path);
  if (!wide) return nullptr;
  // Others may read, replace or delete the file meanwhile, as on Linux: a
  // rebuild renames a new archive over one a game has mapped.
  HANDLE file =
      CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  sys_free(wide);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size;
  ZuFileStamp stamp;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) ||
      !stamp_from_handle(file, &stamp)) {
    CloseHandle(file);
    return nullptr;
  }
  void* memory = nullptr;
  if (size.QuadPart > 0) {
    HANDLE section = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    memory = section ? MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (section) CloseHandle(section);  // the view keeps the section
    if (!memory) {
      CloseHandle(file);
      return nullptr;
    }
  }
  CloseHandle(file);  // and the section the file
  return mapping_make(memory, (u64)size.QuadPart, &stamp);
}

void filesystem_mapped_file_destroy(ZuMappedFile* mapping) {
  if (!mapping) return;
  if (mapping->size > 0) UnmapViewOfFile(mapping->memory);
  sys_free(mapping);
}

void filesystem_mapped_file_prefer_large_pages(ZuMappedFile* mapping, u64 offset, u64 size) {
  // Windows maps files with small pages only; reading the range in ahead
  // is what it offers instead, so that the first lookups do not fault.
  if (!mapping_clamp(mapping, &offset, &size)) return;
  WIN32_MEMORY_RANGE_ENTRY range = {(u8*)mapping->memory + offset, (SIZE_T)size};
  PrefetchVirtualMemory(GetCurrentProcess(), 1, &range, 0);
}
