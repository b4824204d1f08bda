// SPDX-License-Identifier: Zlib
// The records a build cache holds, as bytes: a step's result (its outputs
// and the files it found it needed while it ran) and a manifest (for steps
// that find inputs while they run: each set of those files' hashes seen so
// far, with the result it gave). Both end in a checksum, so that a damaged
// entry is told from a good one.
#pragma once

#include "zu_array.h"

enum CacheEntryKind : u8 { kEntryResult = 1, kEntryManifest = 2 };

// Writing: begin, fields, finish.
void entry_begin(ZuArray<u8>* out, CacheEntryKind kind);
void entry_put_u64(ZuArray<u8>* out, u64 value);
void entry_put_bytes(ZuArray<u8>* out, const void* data, u64 size);
void entry_put_text(ZuArray<u8>* out, const char* text);
void entry_finish(ZuArray<u8>* out);

// Reading, bounds-checked: every getter fails once the bytes run out.
struct EntryReader {
  const u8* at;
  const u8* end;
  bool ok;
};
// False when the bytes are not a whole entry of kind with a right checksum.
bool entry_open(EntryReader* reader, const u8* data, u64 size, CacheEntryKind kind);
u64 entry_get_u64(EntryReader* reader);
// A field's bytes in place (not NUL-terminated).
const u8* entry_get_bytes(EntryReader* reader, u64* size);
