// SPDX-License-Identifier: Zlib
#include "read_file.h"

bool read_whole_file(const char* path, ZuArray<u8>* buffer) {
  ZuFile* file = filesystem_file_create(path, 0, 0);
  if (!file) return false;
  u64 size = filesystem_file_size(file);
  if (size > 0xFFFFFFFEull) sys_exit(-1, "ERROR: '%s' is larger than 4 GiB", path);
  zu_array_resize(buffer, size);
  bool ok = filesystem_file_read(file, buffer->data, size) == size;
  filesystem_file_destroy(file);
  return ok;
}
