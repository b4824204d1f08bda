// SPDX-License-Identifier: Zlib
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "internal.h"

ZuMappedFile* filesystem_mapped_file_create(const char* path) {
  int descriptor = open(path, O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat info;
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(descriptor);
    return nullptr;
  }
  void* memory = nullptr;
  u64 size = (u64)info.st_size;
  if (size > 0) {
    memory = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (memory == MAP_FAILED) {
      close(descriptor);
      return nullptr;
    }
  }
  close(descriptor);  // the mapping keeps the file
  ZuFileStamp stamp;
  stamp_from_stat(&info, &stamp);
  return mapping_make(memory, size, &stamp);
}

void filesystem_mapped_file_destroy(ZuMappedFile* mapping) {
  if (!mapping) return;
  if (mapping->size > 0) munmap(mapping->memory, mapping->size);
  sys_free(mapping);
}

void filesystem_mapped_file_prefer_large_pages(ZuMappedFile* mapping, u64 offset, u64 size) {
  if (!mapping_clamp(mapping, &offset, &size)) return;
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
