// SPDX-License-Identifier: Zlib
// The mip chain, in floating point: colour in linear light (sRGB decoded,
// filtered, encoded again), data (masks, normal maps) as it is.
#pragma once

#include "decode.h"

enum TextureSpace : u32 { kSpaceSrgb, kSpaceLinear, kSpaceNormal };

struct MipLevel {
  u32 width, height;
  ZuArray<u8> rgba;  // 8-bit RGBA in the texture's space
};

// Level 0 is the image (shrunk by halves while larger than max_side; 0: no
// limit); each next level halves each side, rounding down, down to 1x1 or
// to level_limit levels (0: all). Every level is filtered from the one
// before by area: a texel of the smaller level averages exactly the part of
// the larger one it covers, so odd sizes lose no row or column. Normal maps
// are renormalised after filtering. A level 0 that is the image itself takes
// its texels over (the image is left empty): a copy would cost time and
// fresh pages for nothing.
void build_mips(DecodedImage* image, TextureSpace space, u32 max_side, u32 level_limit,
                ZuArray<MipLevel>* levels);
void destroy_mips(ZuArray<MipLevel>* levels);

// Exposed for the tests: the sRGB transfer functions (IEC 61966-2-1).
float srgb_to_linear(float encoded);
float linear_to_srgb(float linear);
