// SPDX-License-Identifier: Zlib
#include "verify_file.h"

#include "tov/tov_archive.h"

bool archive_verify_file(const char* path, char* message, u64 message_size) {
  ZuMappedFile* mapping = filesystem_mapped_file_create(path);
  if (!mapping) {
    sys_snprintf(message, message_size, "cannot be read");
    return false;
  }
  u64 size;
  const void* bytes = filesystem_mapped_file_get_memory(mapping, &size);
  bool ok = tov_archive_verify(bytes, size, 0, message, message_size);
  filesystem_mapped_file_destroy(mapping);
  return ok;
}
