// SPDX-License-Identifier: Zlib
// Between the image module and its cooking library (image_cook.x86_64),
// which holds the decoders and the GPU encoders and is loaded only by the
// cook_texture command.
#pragma once

#include "cook_request.h"
#include "zu_array.h"

struct TextureCookRequest {
  const char* path;  // as named in messages; its ending picks the decoder
  const u8* bytes;
  u64 size;
  const SettingsFile* settings;  // the folder's, then the texture's own
  u32 settings_count;
};

// Owned by the caller, filled with sys_malloc'd memory, released with
// image_cook_release.
struct TextureCookResult {
  ZuArray<u8> ktx2;        // the whole KTX 2.0 file
  ZuArray<char> messages;  // "file: message" lines, NUL-terminated when any
};

extern "C" {
typedef bool (*ImageCookTexture)(const TextureCookRequest* request, TextureCookResult* result);
typedef void (*ImageCookRelease)(TextureCookResult* result);
}
