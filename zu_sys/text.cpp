// SPDX-License-Identifier: Zlib
#include <fnmatch.h>
#include <string.h>

#include "internal.h"

u64 sys_strlen(const char* text) { return strlen(text); }

bool sys_strequal(const char* a, const char* b) { return strcmp(a, b) == 0; }

bool sys_strend(const char* text, const char* suffix) {
  u64 text_length = strlen(text);
  u64 suffix_length = strlen(suffix);
  return suffix_length <= text_length &&
         memcmp(text + text_length - suffix_length, suffix, suffix_length) == 0;
}

bool sys_strbegin(const char* text, const char* prefix) {
  while (*prefix) {
    if (*text++ != *prefix++) return false;
  }
  return true;
}

char* sys_strchr(const char* text, i32 c) { return (char*)strchr(text, c); }

char* sys_strrchr(const char* text, i32 c) { return (char*)strrchr(text, c); }

char* sys_strchr_rev(const char* text, const char* start, i32 c) {
  if (start < text) return nullptr;
  for (const char* at = start;; --at) {
    if (*at == (char)c) return (char*)at;
    if (at == text) return nullptr;
  }
}

char* sys_strrpbrk(const char* text, const char* set) {
  const char* found = nullptr;
  for (const char* at = text; (at = strpbrk(at, set)); ++at) found = at;
  return (char*)found;
}

char* sys_strstr(const char* text, const char* needle) { return (char*)strstr(text, needle); }

i32 sys_strncmp(const char* a, const char* b, u64 count) { return strncmp(a, b, count); }

char* sys_strncpy(char* destination, const char* source, u64 size) {
  if (size == 0) return destination;
  u64 length = strnlen(source, size - 1);
  memmove(destination, source, length);
  destination[length] = 0;
  return destination;
}

void sys_strreplace_any(char* text, const char* set, char replacement) {
  char* end = text + strlen(text);
  for (char* at = text; at < end; ++at) {
    if (strchr(set, *at) && *at) *at = replacement;
  }
}

bool sys_glob_match(const char* pattern, const char* text) { return fnmatch(pattern, text, 0) == 0; }
