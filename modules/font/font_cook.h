// SPDX-License-Identifier: Zlib
// Between the font module and its cooking library (font_cook.x86_64),
// which holds FreeType and is loaded only by the cook_font command.
#pragma once

#include "cook_request.h"
#include "zu_array.h"

struct FontCookRequest {
  const char* path;  // as named in messages
  const u8* bytes;
  u64 size;
  const SettingsFile* settings;  // the folder's, then the font's own
  u32 settings_count;
};

// Owned by the caller, filled with sys_malloc'd memory, released with
// font_cook_release.
struct FontCookResult {
  ZuArray<u8> font;        // the whole .font file (sdk/include/tov_font.h)
  ZuArray<char> messages;  // NUL-terminated when any
};

extern "C" {
typedef bool (*FontCookFont)(const FontCookRequest* request, FontCookResult* result);
typedef void (*FontCookRelease)(FontCookResult* result);
}
