// SPDX-License-Identifier: Zlib
// What a cooking command hands its cooking library, and what it gets back.
// The texture, font, sound and mesh cookers share these; the shader
// compiler has its own (stages, include folders, a depfile).
#pragma once

#include <string.h>

#include "zu_array.h"

// One settings file: its path (for messages) and its bytes. Files are read
// in order, each over what the ones before set.
struct SettingsFile {
  const char* path;
  const char* text;
  u64 size;
};

struct CookRequest {
  const char* path;  // as named in messages; its ending may pick the decoder
  const u8* bytes;
  u64 size;
  const SettingsFile* settings;  // the folder's, then the source's own
  u32 settings_count;
};

// Owned by the caller, filled with sys_malloc'd memory, released with the
// library's release function.
struct CookResult {
  ZuArray<u8> output;      // the whole cooked file
  ZuArray<char> messages;  // "file: message" lines, NUL-terminated when any
  ZuArray<char> report;    // what the source holds, for --tov-verbose
};

extern "C" {
typedef bool (*CookFunction)(const CookRequest* request, CookResult* result);
typedef void (*CookRelease)(CookResult* result);
}

inline void cook_result_release(CookResult* result) {
  zu_array_destroy(&result->output);
  zu_array_destroy(&result->messages);
  zu_array_destroy(&result->report);
}

// Appends a record's bytes to a cooked file (little-endian, as the machine).
template <class T>
void cook_put(ZuArray<u8>* out, const T& value) {
  u64 at = out->count;
  zu_array_resize(out, at + sizeof(T));
  memcpy(out->data + at, &value, sizeof(T));
}
