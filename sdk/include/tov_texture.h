/* SPDX-License-Identifier: Zlib
 *
 * What a cooked texture holds. The image module turns .png, .jpg, .jpeg and
 * .tga sources into "<stem>.ktx2": a KTX 2.0 file (the Khronos container)
 * with one 2D image and its full mip chain, no supercompression, in one of
 * these Vulkan formats:
 *
 *     BC1 (opaque colour)           TOV_VK_BC1_RGB_UNORM / _SRGB     8 bytes a 4x4 block
 *     BC3 (colour with alpha)       TOV_VK_BC3_UNORM / _SRGB        16 bytes a 4x4 block
 *     BC4 (one channel)             TOV_VK_BC4_UNORM                 8 bytes a 4x4 block
 *     BC5 (normal map x and y)      TOV_VK_BC5_UNORM                16 bytes a 4x4 block
 *     ASTC 4x4 to 8x8               TOV_VK_ASTC_4x4_UNORM + 2 * k   16 bytes a block
 *                                   (+1 for sRGB)
 *     RGBA8                         TOV_VK_R8G8B8A8_UNORM / _SRGB    4 bytes a texel
 *
 * The file: the 12-byte identifier, TovKtx2Header, TovKtx2Index, one
 * TovKtx2Level per mip level (level 0 is the largest), the data format
 * descriptor, a key/value block ("KTXwriter" = "tov"), then the levels'
 * bytes, smallest level first, each at an offset that is a multiple of its
 * block size. All integers are little-endian. A game reads it in place with
 * tov_texture_view (tov/tov_archive.h), which checks it and hands out each
 * level's bytes, ready for a GPU upload.
 *
 * Normal maps hold x in red and y in green (BC5) and z = sqrt(1 - x^2 - y^2)
 * is left to the shader; colour textures are sRGB-encoded (the _SRGB
 * formats), masks and data linear.
 */
#ifndef TOV_TEXTURE_H
#define TOV_TEXTURE_H

#include <stdint.h>

#define TOV_KTX2_IDENTIFIER \
  {0xAB, 0x4B, 0x54, 0x58, 0x20, 0x32, 0x30, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A}

enum {
  TOV_VK_R8G8B8A8_UNORM = 37,
  TOV_VK_R8G8B8A8_SRGB = 43,
  TOV_VK_BC1_RGB_UNORM = 131,
  TOV_VK_BC1_RGB_SRGB = 132,
  TOV_VK_BC3_UNORM = 137,
  TOV_VK_BC3_SRGB = 138,
  TOV_VK_BC4_UNORM = 139,
  TOV_VK_BC5_UNORM = 141,
  TOV_VK_ASTC_4x4_UNORM = 157, /* 4x4, 5x4, 5x5, 6x5, 6x6, 8x5, 8x6, 8x8 follow, each UNORM then SRGB */
  TOV_VK_ASTC_8x8_SRGB = 172
};

typedef struct TovKtx2Header {
  uint32_t vk_format;
  uint32_t type_size; /* 1 */
  uint32_t pixel_width;
  uint32_t pixel_height;
  uint32_t pixel_depth; /* 0 */
  uint32_t layer_count; /* 0 */
  uint32_t face_count;  /* 1 */
  uint32_t level_count;
  uint32_t supercompression_scheme; /* 0 */
} TovKtx2Header;

typedef struct TovKtx2Index {
  uint32_t dfd_byte_offset;
  uint32_t dfd_byte_length;
  uint32_t kvd_byte_offset;
  uint32_t kvd_byte_length;
  uint64_t sgd_byte_offset; /* 0 */
  uint64_t sgd_byte_length; /* 0 */
} TovKtx2Index;

typedef struct TovKtx2Level {
  uint64_t byte_offset;
  uint64_t byte_length;
  uint64_t uncompressed_byte_length; /* equal to byte_length */
} TovKtx2Level;

#endif
