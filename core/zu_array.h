// SPDX-License-Identifier: Zlib
// The engine's growable array: 16 bytes (block pointer, u32 count, u32
// capacity), 4-byte aligned so that it packs behind a ZuString. Elements are
// plain records moved bitwise; an element type with heap parts provides
// zu_destroy and zu_copy overloads, which the array calls.
#pragma once

#include <string.h>

#include "zu_sys.h"

template <class T>
struct __attribute__((packed, aligned(4))) ZuArray {
  T* data;
  u32 count;
  u32 capacity;
};
static_assert(sizeof(ZuArray<u64>) == 16, "arrays are embedded in records and file formats");
static_assert(alignof(ZuArray<u64>) == 4, "a string followed by an array takes 36 bytes");

template <class T>
inline void zu_element_destroy(T* element) {
  if constexpr (requires { zu_destroy(element); }) zu_destroy(element);
}

// destination is raw storage; it becomes a deep copy of source.
template <class T>
inline void zu_element_copy(T* destination, const T* source) {
  if constexpr (requires { zu_copy(destination, source); }) zu_copy(destination, source);
  else memcpy((void*)destination, (const void*)source, sizeof(T));
}

// The growth rule: four times the capacity (8 from 0), at least needed.
inline u32 zu_grown_capacity(u32 capacity, u64 needed) {
  if (needed > 0xFFFFFFFFull) sys_exit(-1, "ERROR: Array grows beyond 4294967295 elements");
  u64 grown = capacity ? (u64)capacity * 4 : 8;
  if (grown > 0xFFFFFFFFull) grown = 0xFFFFFFFFull;
  return (u32)(grown < needed ? needed : grown);
}

template <class T>
void zu_array_move_to_block(ZuArray<T>* array, u32 capacity) {
  T* block = (T*)sys_malloc((u64)capacity * sizeof(T));
  T* old = array->data;
  if (old) memcpy((void*)block, (const void*)old, (u64)array->count * sizeof(T));
  sys_free(old);
  array->data = block;
  array->capacity = capacity;
}

template <class T>
void zu_array_reserve(ZuArray<T>* array, u64 count) {
  if (count <= array->capacity) return;
  zu_array_move_to_block(array, zu_grown_capacity(array->capacity, count));
}

template <class T>
void zu_array_resize(ZuArray<T>* array, u64 count) {
  if (count > array->count) {
    zu_array_reserve(array, count);
    memset((void*)(array->data + array->count), 0, (count - array->count) * sizeof(T));
  } else {
    for (u64 i = count; i < array->count; ++i) zu_element_destroy(array->data + i);
  }
  array->count = (u32)count;
}

// Takes value over bitwise: the array owns its heap parts from now on.
template <class T>
T* zu_array_push(ZuArray<T>* array, const T& value) {
  T copy;
  memcpy((void*)&copy, (const void*)&value, sizeof(T));  // value may live in the array
  zu_array_reserve(array, (u64)array->count + 1);
  T* slot = array->data + array->count++;
  memcpy((void*)slot, (const void*)&copy, sizeof(T));
  return slot;
}

// Takes count elements over bitwise, at the end; first must not lie in the
// array. Returns where they went.
template <class T>
T* zu_array_append(ZuArray<T>* array, const T* first, u64 count) {
  zu_array_reserve(array, (u64)array->count + count);
  T* slots = array->data + array->count;
  if (count) memcpy((void*)slots, (const void*)first, count * sizeof(T));
  array->count += (u32)count;
  return slots;
}

template <class T>
T* zu_array_push_zeroed(ZuArray<T>* array) {
  zu_array_reserve(array, (u64)array->count + 1);
  T* slot = array->data + array->count++;
  memset((void*)slot, 0, sizeof(T));
  return slot;
}

// Moves value in at index; later elements move up by one.
template <class T>
T* zu_array_insert(ZuArray<T>* array, u64 index, const T& value) {
  T copy;
  memcpy((void*)&copy, (const void*)&value, sizeof(T));
  zu_array_reserve(array, (u64)array->count + 1);
  T* slot = array->data + index;
  memmove((void*)(slot + 1), (const void*)slot, (array->count - index) * sizeof(T));
  memcpy((void*)slot, (const void*)&copy, sizeof(T));
  ++array->count;
  return slot;
}

// Destroys the element at index; later elements move down by one.
template <class T>
void zu_array_remove(ZuArray<T>* array, u64 index) {
  T* slot = array->data + index;
  zu_element_destroy(slot);
  memmove((void*)slot, (const void*)(slot + 1), (array->count - index - 1) * sizeof(T));
  --array->count;
}

// Destroys every element; the block stays.
template <class T>
void zu_array_clear(ZuArray<T>* array) {
  for (u32 i = 0; i < array->count; ++i) zu_element_destroy(array->data + i);
  array->count = 0;
}

template <class T>
void zu_array_destroy(ZuArray<T>* array) {
  zu_array_clear(array);
  sys_free(array->data);  // also a reserved block with no elements
  array->data = nullptr;
  array->capacity = 0;
}

// The destination becomes deep copies of [first, last). A range inside the
// destination's own elements leaves exactly those, made in place.
template <class T>
void zu_array_assign_range(ZuArray<T>* array, const T* first, const T* last) {
  T* data = array->data;
  if (data && first >= data && last <= data + array->count && first <= last) {
    u32 begin = (u32)(first - data), end = (u32)(last - data);
    for (u32 i = end; i < array->count; ++i) zu_element_destroy(data + i);
    for (u32 i = 0; i < begin; ++i) zu_element_destroy(data + i);
    memmove((void*)data, (const void*)first, (u64)(end - begin) * sizeof(T));
    array->count = end - begin;
    return;
  }
  zu_array_clear(array);
  zu_array_reserve(array, (u64)(last - first));
  for (const T* at = first; at < last; ++at) zu_element_copy(array->data + array->count++, at);
}

template <class T>
void zu_array_assign(ZuArray<T>* array, const ZuArray<T>* other) {
  if (array == other) return;
  zu_array_assign_range(array, other->data, other->data + other->count);
}

// The destination's elements and block go; it takes over other's, which is
// left empty.
template <class T>
void zu_array_move(ZuArray<T>* array, ZuArray<T>* other) {
  if (array == other) return;
  zu_array_destroy(array);
  *array = *other;
  other->data = nullptr;
  other->count = 0;
  other->capacity = 0;
}

template <class T>
inline void zu_destroy(ZuArray<T>* array) {
  zu_array_destroy(array);
}

template <class T>
inline void zu_copy(ZuArray<T>* destination, const ZuArray<T>* source) {
  memset((void*)destination, 0, sizeof(*destination));
  zu_array_assign(destination, source);
}
