// SPDX-License-Identifier: Zlib
// The messages and summaries the cooking libraries hand back: text growing
// in a ZuArray that is kept NUL-terminated.
#pragma once

#include <string.h>

#include "zu_array.h"

inline void cook_add_text(ZuArray<char>* text, const char* bytes, u64 length) {
  if (text->count) --text->count;  // the terminator
  for (u64 i = 0; i < length; ++i) zu_array_push(text, bytes[i]);
  zu_array_push(text, '\0');
}

inline void cook_add_text(ZuArray<char>* text, const char* line) {
  cook_add_text(text, line, strlen(line));
}
