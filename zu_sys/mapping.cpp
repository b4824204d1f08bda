// SPDX-License-Identifier: Zlib
// What file mappings share on every system.
#include "internal.h"

const u64 g_empty_mapping = 0;

ZuMappedFile* mapping_make(void* memory, u64 size, const ZuFileStamp* stamp) {
  ZuMappedFile* mapping = (ZuMappedFile*)sys_malloc(sizeof(ZuMappedFile));
  mapping->memory = size ? memory : (void*)&g_empty_mapping;
  mapping->size = size;
  mapping->stamp = *stamp;
  return mapping;
}

const ZuFileStamp* filesystem_mapped_file_get_stamp(const ZuMappedFile* mapping) {
  return &mapping->stamp;
}

bool filesystem_stamp_equal(const ZuFileStamp* a, const ZuFileStamp* b) {
  return a->device == b->device && a->inode == b->inode && a->size == b->size &&
         a->modified == b->modified;
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
