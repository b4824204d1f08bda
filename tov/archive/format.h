// SPDX-License-Identifier: Zlib
// The .tov archive and the .fileinfo catalogue, as records. All integers are
// little-endian, every offset is from the start of the file, and the runtime
// uses the mapped bytes in place.
//
// Archive: header | entries | file data | names | name table |
//          directory blocks | directory table
#pragma once

#include <string.h>

#include "zu_sys.h"

// Integers are read in place with plain loads, which give the file's
// little-endian values only on a little-endian machine.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "tov archives are little-endian: big-endian machines are not supported");

// One built file in the catalogue: sorted by name hash, strictly increasing.
struct FileInfoRecord {
  u64 name_hash;     // zu_hash of the name
  u64 modified;      // filesystem_get_last_modified_time, nanoseconds
  u64 content_hash;  // zu_hash of the file's bytes
};
static_assert(sizeof(FileInfoRecord) == 24, "catalogue records are 24 bytes");

struct ArchiveHeader {
  char magic[4];    // "TOV1"
  u32 header_size;  // 48
  u32 version;      // 0x00400000
  u32 flags;        // kArchive*: 0 unless packed for development or with deletions
  u64 total_size;
  u64 name_table;       // offset of the name table
  u64 directory_table;  // offset of the directory table
  u64 type_count;       // one more than the highest type code packed
};
static_assert(sizeof(ArchiveHeader) == 48, "the header is 48 bytes");

// Header flags. Readers that predate them ignore the field.
constexpr u32 kArchiveHidesNames = 1;  // holds "all.deleted": names it hides in later archives
constexpr u32 kArchiveHasOverlay = 2;  // a development archive: "<path>.overlay" may lie over it

// Entry i lies at 48 + 56 * i; that offset is its identity in the tables.
// Packed: the runtime reads entries at offsets taken from the file, which
// in an archive nobody verified may lie at any byte.
struct __attribute__((packed)) ArchiveEntry {
  u64 name;       // offset of the name in the names section
  u64 archive;    // 0 in the file; the runtime's copies point at the archive's path
  u64 name_hash;  // zu_hash_s, seed 0
  u16 type;
  u8 flag;
  u8 reserved[5];
  u64 content_hash;
  u64 size;
  u64 data;  // offset of the data
};
static_assert(sizeof(ArchiveEntry) == 56, "entries are 56 bytes");

// File data and names are packed without padding, so the tables and blocks
// after them may start at any byte: their records are read unaligned.

// A record at any byte of a file (an archive, or a file packed in one): the
// runtime copies records out and never casts an offset the file gave.
template <class T>
inline T archive_load(const void* base, u64 offset) {
  T value;
  memcpy((void*)&value, (const u8*)base + offset, sizeof(T));
  return value;
}

// Whether length bytes at offset lie inside size bytes, without overflow.
inline bool archive_range_ok(u64 size, u64 offset, u64 length) {
  return offset <= size && length <= size - offset;
}

// A stored hash table: item count, slot count S = 4 x buckets, then S
// slots. Bucket b owns slots 4b to 4b+3; key 0 marks a free slot.
struct __attribute__((packed)) ArchiveSlot {
  u64 key;
  u64 value;
};
struct __attribute__((packed)) ArchiveHashTable {
  u64 item_count;
  u64 slot_count;
};

// Each directory block starts with one of these per type code.
struct __attribute__((packed)) DirectoryTypeHeader {
  u64 count;
  u64 items;  // offset of the item list, all bits set when count is 0
};

// Items of the tables and of directory lists: name hash, entry offset.
typedef ArchiveSlot ArchiveItem;

// The data of the member "all.deleted": the names an archive hides in the
// archives after it in a set (a deleted source of a development overlay or
// of a patch), as a hash table whose values are the offsets of the names
// (NUL-terminated, after the slots) from the start of the member.
struct __attribute__((packed)) HiddenNames {
  u64 base;                // the catalogue hash of the archive it was packed over; 0 for none
  ArchiveHashTable table;  // then the slots, then the names
};
// The name of the member, and of the catalogue whose content hash names an
// archive (an overlay lies only over the archive whose catalogue hash it
// names in base).
constexpr char kHiddenNamesMember[] = "all.deleted";
constexpr char kCatalogueMember[] = "all.fileinfo";
// A development archive's overlay: this beside the archive's path.
constexpr char kOverlaySuffix[] = ".overlay";

constexpr u64 kArchiveEntriesOffset = sizeof(ArchiveHeader);
constexpr u64 kNoItems = ~0ull;
constexpr char kArchiveMagic[4] = {'T', 'O', 'V', '1'};
constexpr u32 kArchiveVersion = 0x00400000;
