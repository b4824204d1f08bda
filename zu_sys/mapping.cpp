// SPDX-License-Identifier: Zlib
// What file mappings share on every system.
#include "internal.h"

const u64 g_empty_mapping = 0;

ZuMappedFile* mapping_make(void* memory, u64 size) {
  ZuMappedFile* mapping = (ZuMappedFile*)sys_malloc(sizeof(ZuMappedFile));
  mapping->memory = size ? memory : (void*)&g_empty_mapping;
  mapping->size = size;
  return mapping;
}

bool mapping_clamp(const ZuMappedFile* mapping, u64* offset, u64* size) {
  if (*offset >= mapping->size || *size == 0) return false;
  if (*size > mapping->size - *offset) *size = mapping->size - *offset;
  return true;
}

const void* filesystem_mapped_file_get_memory(ZuMappedFile* mapping, u64* size) {
  if (size) *size = mapping->size;
  return mapping->memory;
}
