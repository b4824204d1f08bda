// SPDX-License-Identifier: Zlib
// XXH3-64 is part of the archive format: archives written by one build are
// read by every later one. Never change it.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "internal.h"

u64 zu_hash(const void* data, u64 size) { return XXH3_64bits(data, size); }

u64 zu_hash_s(const void* data, u64 size, u64 seed) {
  return XXH3_64bits_withSeed(data, size, seed);
}
