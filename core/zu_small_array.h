// SPDX-License-Identifier: Zlib
// An array with room for N elements inline, followed by a u16 marker: below
// 65535 the marker is the inline count; 65535 means the elements moved to
// the heap and the first 16 bytes of the room hold a ZuArray header. Once on
// the heap it never returns.
#pragma once

#include "zu_array.h"

constexpr u16 kZuSmallArrayHeap = 65535;

template <class T, u32 N>
struct ZuSmallArray {
  union {
    T items[N];
    ZuArray<T> heap;
  };
  u16 marker;
};

template <class T, u32 N>
inline void zu_small_array_init(ZuSmallArray<T, N>* array) {
  static_assert(N * sizeof(T) >= sizeof(ZuArray<T>), "the room must hold a heap header");
  static_assert(N < kZuSmallArrayHeap, "the marker counts the inline elements");
  array->marker = 0;
}

template <class T, u32 N>
inline bool zu_small_array_is_heap(const ZuSmallArray<T, N>* array) {
  return array->marker == kZuSmallArrayHeap;
}

template <class T, u32 N>
inline T* zu_small_array_data(ZuSmallArray<T, N>* array) {
  return zu_small_array_is_heap(array) ? array->heap.data : array->items;
}

template <class T, u32 N>
inline const T* zu_small_array_data(const ZuSmallArray<T, N>* array) {
  return zu_small_array_is_heap(array) ? array->heap.data : array->items;
}

template <class T, u32 N>
inline u32 zu_small_array_count(const ZuSmallArray<T, N>* array) {
  return zu_small_array_is_heap(array) ? array->heap.count : array->marker;
}

// Moves the inline elements into a block of exactly capacity elements.
template <class T, u32 N>
void zu_small_array_switch_to_heap(ZuSmallArray<T, N>* array, u32 capacity) {
  u32 count = array->marker;
  T* block = (T*)sys_malloc((u64)capacity * sizeof(T));
  memcpy((void*)block, (const void*)array->items, (u64)count * sizeof(T));
  array->heap.data = block;
  array->heap.count = count;
  array->heap.capacity = capacity;
  array->marker = kZuSmallArrayHeap;
}

template <class T, u32 N>
void zu_small_array_reserve(ZuSmallArray<T, N>* array, u64 count) {
  if (zu_small_array_is_heap(array)) {
    zu_array_reserve(&array->heap, count);
  } else if (count > N) {
    if (count > 0xFFFFFFFFull) sys_exit(-1, "ERROR: Array grows beyond 4294967295 elements");
    zu_small_array_switch_to_heap(array, (u32)count);
  }
}

// Takes value over bitwise.
template <class T, u32 N>
T* zu_small_array_push(ZuSmallArray<T, N>* array, const T& value) {
  if (zu_small_array_is_heap(array)) return zu_array_push(&array->heap, value);
  T copy;
  memcpy((void*)&copy, (const void*)&value, sizeof(T));  // value may live in the array
  if (array->marker == N) {
    zu_small_array_switch_to_heap(array, N + 1);
    return zu_array_push(&array->heap, copy);
  }
  T* slot = array->items + array->marker++;
  memcpy((void*)slot, (const void*)&copy, sizeof(T));
  return slot;
}

// Destroys every element; storage stays.
template <class T, u32 N>
void zu_small_array_clear(ZuSmallArray<T, N>* array) {
  if (zu_small_array_is_heap(array)) {
    zu_array_clear(&array->heap);
    return;
  }
  for (u32 i = 0; i < array->marker; ++i) zu_element_destroy(array->items + i);
  array->marker = 0;
}

template <class T, u32 N>
void zu_small_array_destroy(ZuSmallArray<T, N>* array) {
  if (zu_small_array_is_heap(array)) zu_array_destroy(&array->heap);
  else zu_small_array_clear(array);
  array->marker = 0;
}
