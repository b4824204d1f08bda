// SPDX-License-Identifier: Zlib
#include "names.h"

#include "tov/tov_archive.h"

namespace {

bool is_name_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '/' || c == '_';
}

}  // namespace

bool archive_name_is_valid(const char* name) {
  for (const char* at = name; *at; ++at)
    if (!is_name_byte(*at)) return false;
  return true;
}

u64 tov_archive_hash(const void* bytes, u64 size) { return zu_hash(bytes, size); }

u64 tov_archive_normalize_name(const char* name, char* out, u64 size) {
  u64 length = 0;
  for (const char* at = name; *at; ++at, ++length) {
    char c = *at;
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (!is_name_byte(c)) c = '_';
    if (length + 1 < size) out[length] = c;
  }
  if (size) out[length < size ? length : size - 1] = 0;
  return length;
}

void archive_name_check(const char* name) {
  if (!archive_name_is_valid(name))
    sys_exit(-1,
             "File '%s' contains illegal characters (only [a-z0-9./_] allowed in TOV archive)\n",
             name);
}
