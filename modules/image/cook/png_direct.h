// SPDX-License-Identifier: Zlib
// The PNGs that textures nearly always are, read without libspng: 8-bit
// grey, grey and alpha, colour, or colour and alpha, not interlaced, with no
// palette or transparency chunk. The image data is inflated whole by
// libdeflate and its rows unfiltered in vector registers, straight into
// RGBA: a third of libspng's time, which is most of what a texture step
// spends outside the encoder.
#pragma once

#include "decode.h"

// True with image filled (its channels as decode_image gives them); false
// for any other kind of PNG and for any fault in the file, which the caller
// then hands to libspng to read or to name. image may have been resized.
bool png_decode_direct(const u8* bytes, u64 size, DecodedImage* image);
