// SPDX-License-Identifier: Zlib
// The engine's string: 20 bytes, 4-byte aligned, with up to 18 characters
// inline. Byte 19 tells the form: 0 to 19 is the inline length, 255 means
// bytes 0-7 hold a block pointer, 8-11 the length and 12-15 the capacity.
// The length counts the terminating NUL; an all-zero string has length 0
// and still reads as an empty text.
#pragma once

#include <string.h>

#include "zu_sys.h"

struct alignas(4) ZuString {
  u8 bytes[20];
};
static_assert(sizeof(ZuString) == 20, "strings are stored back to back in 20-byte strides");
static_assert(alignof(ZuString) == 4, "records embedding a string rely on 4-byte alignment");

constexpr u8 kZuStringHeap = 255;
constexpr u32 kZuStringInlineCapacity = 19;

inline bool zu_string_is_heap(const ZuString* s) { return s->bytes[19] == kZuStringHeap; }

inline char* zu_string_data(ZuString* s) {
  if (!zu_string_is_heap(s)) return (char*)s->bytes;
  char* block;
  memcpy(&block, s->bytes, sizeof(block));
  return block;
}

inline const char* zu_string_data(const ZuString* s) { return zu_string_data((ZuString*)s); }

// The text as a C string: valid for every state, the zeroed one included.
inline const char* zu_string_text(const ZuString* s) { return zu_string_data(s); }

inline u32 zu_string_length(const ZuString* s) {
  if (!zu_string_is_heap(s)) return s->bytes[19];
  u32 length;
  memcpy(&length, s->bytes + 8, sizeof(length));
  return length;
}

inline u32 zu_string_capacity(const ZuString* s) {
  if (!zu_string_is_heap(s)) return kZuStringInlineCapacity;
  u32 capacity;
  memcpy(&capacity, s->bytes + 12, sizeof(capacity));
  return capacity;
}

// Characters before the terminator (0 for the zeroed string).
inline u32 zu_string_size(const ZuString* s) {
  u32 length = zu_string_length(s);
  return length ? length - 1 : 0;
}

inline void zu_string_zero(ZuString* s) { memset(s, 0, sizeof(*s)); }

void zu_string_init_empty(ZuString* s);
void zu_string_init(ZuString* s, const char* text);
void zu_string_init_copy(ZuString* s, const ZuString* other);
void zu_string_init_range(ZuString* s, const char* first, const char* last);
// The text [first, last) and a terminator.
void zu_string_init_text(ZuString* s, const char* first, const char* last);

bool zu_string_assign(ZuString* s, const ZuString* other);
bool zu_string_assign_range(ZuString* s, const char* first, const char* last);
// Adds all bytes of other, its terminator included.
bool zu_string_append(ZuString* s, const ZuString* other);
bool zu_string_append_range(ZuString* s, const char* first, const char* last);
// False, and nothing changed, when position is outside [data, data + length].
bool zu_string_insert(ZuString* s, char* position, const char* first, const char* last);
void zu_string_erase(ZuString* s, char* first, char* last);
// Grows the block so that it holds at least size bytes (the growth rule).
void zu_string_reserve(ZuString* s, u32 size);
// Moves the inline bytes into a block of exactly capacity bytes.
void zu_string_switch_to_heap(ZuString* s, u32 capacity);
void zu_string_destroy(ZuString* s);

// Adding text: the terminator is erased, then text is appended with its own;
// the string grows once, by the growth rule, for the text and terminator.
void zu_string_add_text(ZuString* s, const char* text);
void zu_string_add_range(ZuString* s, const char* first, const char* last);
void zu_string_add_char(ZuString* s, char c);

bool zu_string_equal(const ZuString* a, const ZuString* b);
bool zu_string_equal_text(const ZuString* s, const char* text);

// Element operations, found by the containers.
inline void zu_destroy(ZuString* s) { zu_string_destroy(s); }
inline void zu_copy(ZuString* destination, const ZuString* source) {
  zu_string_init_copy(destination, source);
}
