// SPDX-License-Identifier: Zlib
// Entry: "TOVC", the kind, 3 bytes of 0, the fields (u64s and
// length-prefixed bytes, little-endian), the XXH3 of all before.
#include "cache_entry.h"

namespace {
constexpr u64 kHeader = 8;
}  // namespace

void entry_begin(ZuArray<u8>* out, CacheEntryKind kind) {
  zu_array_clear(out);
  const u8 header[kHeader] = {'T', 'O', 'V', 'C', (u8)kind, 0, 0, 0};
  for (u8 byte : header) zu_array_push(out, byte);
}

void entry_put_u64(ZuArray<u8>* out, u64 value) {
  u64 at = out->count;
  zu_array_resize(out, at + 8);
  memcpy(out->data + at, &value, 8);
}

void entry_put_bytes(ZuArray<u8>* out, const void* data, u64 size) {
  entry_put_u64(out, size);
  u64 at = out->count;
  zu_array_resize(out, at + size);
  if (size) memcpy(out->data + at, data, size);
}

void entry_put_text(ZuArray<u8>* out, const char* text) {
  entry_put_bytes(out, text, strlen(text));
}

void entry_finish(ZuArray<u8>* out) { entry_put_u64(out, zu_hash(out->data, out->count)); }

bool entry_open(EntryReader* reader, const u8* data, u64 size, CacheEntryKind kind) {
  *reader = {nullptr, nullptr, false};
  if (!data || size < kHeader + 8 || memcmp(data, "TOVC", 4) != 0 || data[4] != kind) return false;
  u64 checksum;
  memcpy(&checksum, data + size - 8, 8);
  if (checksum != zu_hash(data, size - 8)) return false;
  *reader = {data + kHeader, data + size - 8, true};
  return true;
}

u64 entry_get_u64(EntryReader* reader) {
  u64 value = 0;
  if (!reader->ok || reader->end - reader->at < 8) {
    reader->ok = false;
    return 0;
  }
  memcpy(&value, reader->at, 8);
  reader->at += 8;
  return value;
}

const u8* entry_get_bytes(EntryReader* reader, u64* size) {
  *size = entry_get_u64(reader);
  if (!reader->ok || *size > (u64)(reader->end - reader->at)) {
    reader->ok = false;
    *size = 0;
    return nullptr;
  }
  const u8* bytes = reader->at;
  reader->at += *size;
  return bytes;
}
