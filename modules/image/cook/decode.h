// SPDX-License-Identifier: Zlib
// Source images to 8-bit RGBA, through libpng (PNG), libjpeg-turbo (JPEG)
// and stb_image (TGA).
#pragma once

#include "zu_array.h"

// Larger images are refused before their pixels are allocated: a texture
// wider than this is no texture a GPU takes.
constexpr u32 kMaxImageSide = 16384;

struct DecodedImage {
  u32 width, height;
  u32 channels;  // in the source: 1 grey, 2 grey and alpha, 3 colour, 4 with alpha
  ZuArray<u8> rgba;
};

// Whether the first length bytes of text end with ending (lower case),
// ASCII letters compared in either case: "Hero.PNG" ends with ".png".
bool name_ends_with(const char* text, u64 length, const char* ending);

// False with why in *error (static text, or the library's) when the bytes
// are not an image of the kind the path's ending names.
bool decode_image(const char* path, const u8* bytes, u64 size, DecodedImage* image,
                  const char** error);
