// SPDX-License-Identifier: Zlib
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

struct ZuMappedFile {
  void* memory;
  u64 size;
};

namespace {
// What an empty file maps to: a valid pointer to nothing.
const u64 g_empty = 0;
}  // namespace

ZuMappedFile* filesystem_mapped_file_create(const char* path) {
  int descriptor = open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat info;
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(descriptor);
    return nullptr;
  }
  void* memory = (void*)&g_empty;
  u64 size = (u64)info.st_size;
  if (size > 0) {
    memory = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (memory == MAP_FAILED) {
      close(descriptor);
      return nullptr;
    }
  }
  close(descriptor);  // the mapping keeps the file
  ZuMappedFile* mapping = (ZuMappedFile*)sys_malloc(sizeof(ZuMappedFile));
  mapping->memory = memory;
  mapping->size = size;
  return mapping;
}

const void* filesystem_mapped_file_get_memory(ZuMappedFile* mapping, u64* size) {
  if (size) *size = mapping->size;
  return mapping->memory;
}

void filesystem_mapped_file_destroy(ZuMappedFile* mapping) {
  if (!mapping) return;
  if (mapping->size > 0) munmap(mapping->memory, mapping->size);
  sys_free(mapping);
}

void filesystem_mapped_file_prefer_large_pages(ZuMappedFile* mapping, u64 offset, u64 size) {
  if (offset >= mapping->size || size == 0) return;
  if (size > mapping->size - offset) size = mapping->size - offset;
  // Out to whole 2 MiB pieces of the address space, as a large page can only
  // map such a piece, but not past the mapping.
  const uintptr_t huge = (uintptr_t)2 << 20;
  uintptr_t first = (uintptr_t)mapping->memory;
  uintptr_t last = first + ((mapping->size + 4095) & ~(u64)4095);
  uintptr_t start = ((first + offset) & ~(huge - 1));
  uintptr_t end = (first + offset + size + huge - 1) & ~(huge - 1);
  if (start < first) start = first;
  if (end > last) end = last;
  madvise((void*)start, end - start, MADV_HUGEPAGE);
}
