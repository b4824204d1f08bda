// SPDX-License-Identifier: Zlib
// GPU formats: BC1, BC3, BC4, BC5 through libsquish, ASTC through the ASTC
// encoder library, and plain RGBA8.
#pragma once

#include "mips.h"

enum TextureFormat : u32 {
  kFormatBc1,
  kFormatBc3,
  kFormatBc4,
  kFormatBc5,
  kFormatAstc,
  kFormatRgba8
};

struct EncodeSettings {
  TextureFormat format;
  TextureSpace space;
  u32 block_x, block_y;  // ASTC block, 4x4 to 8x8
  float astc_quality;    // ASTC preset, 0 (fastest) to 100 (exhaustive)
  u32 bc_quality;        // BC1/BC3 colour fit: 0 range (fast), 1 cluster, 2 iterative
};

// The bytes of one level in the format; false with why in *error.
bool encode_level(const MipLevel* level, const EncodeSettings* settings, ZuArray<u8>* out,
                  const char** error);

// Frees what encoding the levels of one texture kept (the ASTC context).
void encode_finish(void);

// Bytes of one block (4x4 texels for BCn, block_x by block_y for ASTC, one
// texel for RGBA8), and the block's size in texels.
u32 format_block_bytes(TextureFormat format);
