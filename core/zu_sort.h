// SPDX-License-Identifier: Zlib
// One sort and one binary search over records that begin with a u64 key.
// Results must not change between builds (the build-rule and command tables
// are kept in this order), so the algorithm is fixed: quicksort with the
// middle element as pivot, no cut-over to another method.
#pragma once

#include <string.h>

#include "zu_array.h"

template <class T>
inline u64 zu_record_key(const T* record) {
  static_assert(sizeof(T) >= sizeof(u64), "records begin with a u64 key");
  u64 key;
  memcpy(&key, (const void*)record, sizeof(key));
  return key;
}

template <class T>
inline void zu_record_swap(T* a, T* b) {
  // Bitwise: an embedded array is moved through the temporary.
  alignas(8) u8 temporary[sizeof(T)];
  memcpy(temporary, (const void*)a, sizeof(T));
  memcpy((void*)a, (const void*)b, sizeof(T));
  memcpy((void*)b, temporary, sizeof(T));
}

// Sorts [first, last], last included, ascending by key(record), unsigned.
// The two parts of a pass are independent, so sorting the smaller one by
// recursion gives the same order with a stack depth of log n.
template <class T, class Key>
void zu_sort_by(T* first, T* last, Key key) {
  while (first < last) {
    u64 count = (u64)(last - first) + 1;
    zu_record_swap(first, first + (count - 1) / 2);
    u64 pivot = key(first);
    T* boundary = first;
    for (T* at = first + 1; at <= last; ++at) {
      if (key(at) < pivot) zu_record_swap(++boundary, at);
    }
    zu_record_swap(first, boundary);
    if (boundary - first < last - boundary) {
      if (boundary > first) zu_sort_by(first, boundary - 1, key);
      first = boundary + 1;
    } else {
      if (boundary < last) zu_sort_by(boundary + 1, last, key);
      if (boundary == first) return;
      last = boundary - 1;
    }
  }
}

template <class T, class Key>
T* zu_binary_search_by(const ZuArray<T>* array, u64 wanted, Key key) {
  if (array->count == 0) return nullptr;
  u64 low = 0, high = (u64)array->count - 1;
  T* data = array->data;
  for (;;) {
    u64 mid = low + (high - low) / 2;
    u64 found = key(data + mid);
    if (found == wanted) return data + mid;
    if (found < wanted) {
      low = mid + 1;
      if (low > high) return nullptr;
    } else {
      if (mid == low) return nullptr;
      high = mid - 1;
    }
  }
}

// Sorts [first, last], last included, ascending by the leading key.
template <class T>
void zu_sort(T* first, T* last) {
  zu_sort_by(first, last, [](const T* record) { return zu_record_key(record); });
}

template <class T>
void zu_sort_array(ZuArray<T>* array) {
  if (array->count > 1) zu_sort(array->data, array->data + array->count - 1);
}

// The record with the leading key in a sorted array, or null.
template <class T>
T* zu_binary_search(const ZuArray<T>* array, u64 key) {
  return zu_binary_search_by(array, key, [](const T* record) { return zu_record_key(record); });
}
