// SPDX-License-Identifier: Zlib
// Building and probing the archive's stored hash tables.
#pragma once

#include "format.h"
#include "zu_array.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Places items (key, value) in the given order: bucket key mod B, first free
// slot from key mod 4, wrapping; a full bucket grows B by a tenth and starts
// over. slots receives 4 x B slots.
void archive_hash_table_build(const ArchiveItem* items, u64 count, ZuArray<ArchiveSlot>* slots);

// A stored table made ready for probing when its archive is loaded. The
// bucket of a key is key mod B. One lookup takes it with a division: the
// fewest instructions, so that a caller's loop keeps the most lookups in
// flight. Lookups in waves are bound by throughput instead, where a division
// is the slowest step: they multiply by a 128-bit reciprocal of B computed
// here once (exact for all 64-bit keys and divisors).
struct ArchiveTableView {
  const ArchiveSlot* slots;
  u64 buckets;
  unsigned __int128 reciprocal;
};

// A table of one bucket of free slots: the view of a table that is missing,
// cut short or empty, so that a probe always has a bucket to read and needs
// no test for it. Free slots hold key 0, for which lookups find nothing.
struct ArchiveFreeTable {
  ArchiveHashTable header;  // no items, 4 slots
  ArchiveSlot slots[4];
};
inline constexpr ArchiveFreeTable kArchiveFreeTable = {{0, 4}, {}};

constexpr ArchiveTableView archive_table_view(const ArchiveSlot* slots, u64 slot_count) {
  if (slot_count < 4) return {kArchiveFreeTable.slots, 1, 0};
  // Wraps to 0 for one bucket, which then yields the right remainder 0.
  return {slots, slot_count / 4, ~(unsigned __int128)0 / (slot_count / 4) + 1};
}

// key mod B by the reciprocal.
inline u64 archive_table_bucket_by_reciprocal(const ArchiveTableView* table, u64 key) {
  unsigned __int128 fraction = table->reciprocal * key;
  unsigned __int128 low = (unsigned __int128)(u64)fraction * table->buckets;
  unsigned __int128 high = (unsigned __int128)(u64)(fraction >> 64) * table->buckets;
  return (u64)((high + (low >> 64)) >> 64);
}

// Which of a bucket's four slots hold key: bit 4i for slot i. The keys are
// compared in vector registers: where a key sits in its bucket is random, and
// the compiler turns scalar compares back into branches, whose mispredictions
// also stop the processor from running ahead into the caller's next lookup.
inline u32 archive_bucket_matches(const ArchiveSlot* bucket, u64 key) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi64x((long long)key);
  const u8* bytes = (const u8*)bucket;
  __m128i low = _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i*)bytes),
                                   _mm_loadl_epi64((const __m128i*)(bytes + 16)));
  __m128i high = _mm_unpacklo_epi64(_mm_loadl_epi64((const __m128i*)(bytes + 32)),
                                    _mm_loadl_epi64((const __m128i*)(bytes + 48)));
  // Each 32-bit half of a key gives two mask bits: key i owns bits 4i to
  // 4i+3, and matches when its low half (bit 4i) and high half (4i+2) do.
  u32 halves = (u32)_mm_movemask_epi8(
      _mm_packs_epi32(_mm_cmpeq_epi32(low, wanted), _mm_cmpeq_epi32(high, wanted)));
  return halves & (halves >> 2) & 0x1111u;
#else
  return (u32)(bucket[0].key == key) | (u32)(bucket[1].key == key) << 4 |
         (u32)(bucket[2].key == key) << 8 | (u32)(bucket[3].key == key) << 12;
#endif
}

// The first slot of bucket whose key equals key; null when none.
inline const ArchiveSlot* archive_bucket_find(const ArchiveSlot* bucket, u64 key) {
  u32 equal = archive_bucket_matches(bucket, key);
  // Bit 4i for slot i, which lies 16i bytes in.
  return equal ? (const ArchiveSlot*)((const u8*)bucket + (u64)__builtin_ctz(equal) * 4) : nullptr;
}

// The first slot of key's bucket whose key equals key; null when none.
inline const ArchiveSlot* archive_hash_table_probe(const ArchiveTableView* table, u64 key) {
  return archive_bucket_find(table->slots + key % table->buckets * 4, key);
}
