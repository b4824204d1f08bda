// SPDX-License-Identifier: Zlib
#include "zu_string.h"

namespace {

void set_inline_length(ZuString* s, u32 length) { s->bytes[19] = (u8)length; }

void set_heap(ZuString* s, char* block, u32 length, u32 capacity) {
  memcpy(s->bytes, &block, sizeof(block));
  memcpy(s->bytes + 8, &length, sizeof(length));
  memcpy(s->bytes + 12, &capacity, sizeof(capacity));
  s->bytes[16] = s->bytes[17] = s->bytes[18] = 0;
  s->bytes[19] = kZuStringHeap;
}

void set_length(ZuString* s, u32 length) {
  if (zu_string_is_heap(s))
    memcpy(s->bytes + 8, &length, sizeof(length));
  else
    set_inline_length(s, length);
}

u32 checked_size(u64 size) {
  if (size > 0xFFFFFFFFull) sys_exit(-1, "ERROR: String grows beyond 4294967295 bytes");
  return (u32)size;
}

// Room for size bytes; the caller sets the new length.
void grow(ZuString* s, u32 size) {
  if (!zu_string_is_heap(s)) {
    if (size > kZuStringInlineCapacity) zu_string_switch_to_heap(s, size);
    return;
  }
  u32 capacity = zu_string_capacity(s);
  if (size <= capacity) return;
  u64 grown = capacity ? (u64)capacity * 4 : 8;
  if (grown > 0xFFFFFFFFull) grown = 0xFFFFFFFFull;
  if (grown < size) grown = size;
  char* block = (char*)sys_malloc(grown);
  char* old = zu_string_data(s);
  memcpy(block, old, zu_string_length(s));
  sys_free(old);
  set_heap(s, block, zu_string_length(s), (u32)grown);
}

}  // namespace

void zu_string_switch_to_heap(ZuString* s, u32 capacity) {
  u32 length = zu_string_length(s);
  if (capacity < length) capacity = length;
  char* block = (char*)sys_malloc(capacity ? capacity : 1);
  memcpy(block, s->bytes, length);
  set_heap(s, block, length, capacity);
}

void zu_string_reserve(ZuString* s, u32 size) { grow(s, size); }

void zu_string_init_empty(ZuString* s) {
  zu_string_zero(s);
  char nul = 0;
  zu_string_append_range(s, &nul, &nul + 1);
}

void zu_string_init(ZuString* s, const char* text) {
  zu_string_zero(s);
  zu_string_append_range(s, text, text + strlen(text) + 1);
}

void zu_string_init_copy(ZuString* s, const ZuString* other) {
  zu_string_zero(s);
  zu_string_assign(s, other);
}

void zu_string_init_range(ZuString* s, const char* first, const char* last) {
  zu_string_zero(s);
  zu_string_append_range(s, first, last);
}

void zu_string_init_text(ZuString* s, const char* first, const char* last) {
  zu_string_zero(s);
  zu_string_add_range(s, first, last);
}

bool zu_string_assign(ZuString* s, const ZuString* other) {
  const char* data = zu_string_data(other);
  return zu_string_assign_range(s, data, data + zu_string_length(other));
}

bool zu_string_assign_range(ZuString* s, const char* first, const char* last) {
  char* data = zu_string_data(s);
  char* end = data + zu_string_length(s);
  if (first >= data && last <= end && first <= last) {
    // A part of itself: cut in place, no block is allocated.
    zu_string_erase(s, (char*)last, end);
    zu_string_erase(s, data, (char*)first);
    return true;
  }
  set_length(s, 0);
  return zu_string_append_range(s, first, last);
}

bool zu_string_append(ZuString* s, const ZuString* other) {
  const char* data = zu_string_data(other);
  return zu_string_append_range(s, data, data + zu_string_length(other));
}

bool zu_string_append_range(ZuString* s, const char* first, const char* last) {
  u32 count = (u32)(last - first);
  if (count == 0) return true;
  u32 length = zu_string_length(s);
  const char* data = zu_string_data(s);
  bool inside = first >= data && first < data + length;
  u64 offset = (u64)(first - data);
  grow(s, checked_size((u64)length + count));
  char* block = zu_string_data(s);
  if (inside) first = block + offset;
  memmove(block + length, first, count);
  set_length(s, length + count);
  return true;
}

bool zu_string_insert(ZuString* s, char* position, const char* first, const char* last) {
  char* data = zu_string_data(s);
  u32 length = zu_string_length(s);
  if (position < data || position > data + length) return false;
  u32 count = (u32)(last - first);
  if (count == 0) return true;
  u64 at = (u64)(position - data);
  bool inside = first >= data && first < data + length;
  u64 source = (u64)(first - data);
  grow(s, checked_size((u64)length + count));
  char* block = zu_string_data(s);
  memmove(block + at + count, block + at, length - at);
  set_length(s, length + count);
  if (!inside) {
    memcpy(block + at, first, count);
    return true;
  }
  // The source was part of the string: its bytes before the insertion point
  // stayed, those after it moved up by count.
  u64 before = source < at ? (at - source < count ? at - source : count) : 0;
  memcpy(block + at, block + source, before);
  u64 rest_from = (source > at ? source : at) + count;
  memcpy(block + at + before, block + rest_from, count - before);
  return true;
}

void zu_string_erase(ZuString* s, char* first, char* last) {
  if (last <= first) return;
  char* data = zu_string_data(s);
  u32 length = zu_string_length(s);
  memmove(first, last, (u64)(data + length - last));
  set_length(s, length - (u32)(last - first));
}

void zu_string_destroy(ZuString* s) {
  if (zu_string_is_heap(s)) sys_free(zu_string_data(s));
  zu_string_zero(s);
}

void zu_string_add_range(ZuString* s, const char* first, const char* last) {
  u32 length = zu_string_length(s);
  // One step of the growth rule for the text and its terminator: the two
  // appends below then fit. Text from the string itself moves with it.
  const char* data = zu_string_data(s);
  bool own = first >= data && last <= data + length;
  u64 offset = (u64)(first - data), count = (u64)(last - first);
  grow(s, (length > 0 ? length - 1 : 0) + (u32)count + 1);
  if (own) {
    first = zu_string_data(s) + offset;
    last = first + count;
  }
  if (length > 0) {
    char* data = zu_string_data(s);
    zu_string_erase(s, data + length - 1, data + length);
  }
  zu_string_append_range(s, first, last);
  char nul = 0;
  zu_string_append_range(s, &nul, &nul + 1);
}

void zu_string_add_text(ZuString* s, const char* text) {
  zu_string_add_range(s, text, text + strlen(text));
}

void zu_string_add_char(ZuString* s, char c) { zu_string_add_range(s, &c, &c + 1); }

bool zu_string_equal(const ZuString* a, const ZuString* b) {
  u32 length = zu_string_length(a);
  return length == zu_string_length(b) && memcmp(zu_string_data(a), zu_string_data(b), length) == 0;
}

bool zu_string_equal_text(const ZuString* s, const char* text) {
  return strcmp(zu_string_text(s), text) == 0;
}
