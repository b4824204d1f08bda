// SPDX-License-Identifier: Zlib
// Read-only file mappings on Windows, for the archive runtime. Paths are
// UTF-8, as everywhere in the engine, and go to the wide API as UTF-16, so
// any name the file system holds can be opened.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "../internal.h"

ZuMappedFile* filesystem_mapped_file_create(const char* path) {
  int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (wide_length <= 0) return nullptr;
  wchar_t* wide = (wchar_t*)sys_malloc((u64)wide_length * sizeof(wchar_t));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, wide_length);
  // Others may read, replace or delete the file meanwhile, as on Linux: a
  // rebuild renames a new archive over one a game has mapped.
  HANDLE file =
      CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  sys_free(wide);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
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
  return mapping_make(memory, (u64)size.QuadPart);
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
