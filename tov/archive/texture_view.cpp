// SPDX-License-Identifier: Zlib
// Viewing a cooked texture (a KTX 2.0 file, as the image module writes it)
// in place: every offset is checked against the bytes given, which may be
// an archive's file data at any alignment, so nothing is read as a record.
#include <string.h>

#include "format.h"
#include "tov/tov_archive.h"
#include "tov_texture.h"

namespace {

u32 read32(const u8* at) { return archive_load<u32>(at, 0); }
u64 read64(const u8* at) { return archive_load<u64>(at, 0); }

// The block of the formats the tool writes: width, height, bytes.
bool format_block(u32 vk_format, u32* block_x, u32* block_y, u32* bytes) {
  static const u32 kAstc[][2] = {{4, 4}, {5, 4}, {5, 5}, {6, 5}, {6, 6}, {8, 5}, {8, 6}, {8, 8}};
  *block_x = *block_y = 4;
  switch (vk_format) {
    case TOV_VK_R8G8B8A8_UNORM:
    case TOV_VK_R8G8B8A8_SRGB:
      *block_x = *block_y = 1;
      *bytes = 4;
      return true;
    case TOV_VK_BC1_RGB_UNORM:
    case TOV_VK_BC1_RGB_SRGB:
    case TOV_VK_BC4_UNORM:
      *bytes = 8;
      return true;
    case TOV_VK_BC3_UNORM:
    case TOV_VK_BC3_SRGB:
    case TOV_VK_BC5_UNORM:
      *bytes = 16;
      return true;
    default:
      break;
  }
  if (vk_format < TOV_VK_ASTC_4x4_UNORM || vk_format > TOV_VK_ASTC_8x8_SRGB) return false;
  u32 i = (vk_format - TOV_VK_ASTC_4x4_UNORM) / 2;
  *block_x = kAstc[i][0];
  *block_y = kAstc[i][1];
  *bytes = 16;
  return true;
}

constexpr u64 kHeaderEnd = 12 + sizeof(TovKtx2Header) + sizeof(TovKtx2Index);

}  // namespace

bool tov_texture_view(const void* bytes, u64 size, TovTexture* out) {
  static const u8 kIdentifier[] = TOV_KTX2_IDENTIFIER;
  const u8* file = (const u8*)bytes;
  if (!file || size < kHeaderEnd || memcmp(file, kIdentifier, sizeof(kIdentifier)) != 0)
    return false;
  const u8* header = file + 12;
  u32 vk_format = read32(header + offsetof(TovKtx2Header, vk_format));
  u32 width = read32(header + offsetof(TovKtx2Header, pixel_width));
  u32 height = read32(header + offsetof(TovKtx2Header, pixel_height));
  u32 levels = read32(header + offsetof(TovKtx2Header, level_count));
  if (read32(header + offsetof(TovKtx2Header, type_size)) != 1 ||
      read32(header + offsetof(TovKtx2Header, pixel_depth)) != 0 ||
      read32(header + offsetof(TovKtx2Header, layer_count)) != 0 ||
      read32(header + offsetof(TovKtx2Header, face_count)) != 1 ||
      read32(header + offsetof(TovKtx2Header, supercompression_scheme)) != 0 || width == 0 ||
      height == 0 || levels == 0 || levels > TOV_TEXTURE_MAX_LEVELS ||
      (size - kHeaderEnd) / sizeof(TovKtx2Level) < levels)
    return false;
  u32 block_x = 0, block_y = 0, block_bytes = 0;
  bool known = format_block(vk_format, &block_x, &block_y, &block_bytes);
  memset(out, 0, sizeof(*out));
  for (u32 i = 0; i < levels; ++i) {
    const u8* entry = file + kHeaderEnd + (u64)i * sizeof(TovKtx2Level);
    u64 offset = read64(entry + offsetof(TovKtx2Level, byte_offset));
    u64 length = read64(entry + offsetof(TovKtx2Level, byte_length));
    if (!archive_range_ok(size, offset, length)) return false;
    u32 level_width = width >> i ? width >> i : 1;
    u32 level_height = height >> i ? height >> i : 1;
    if (known && length != (u64)((level_width + block_x - 1) / block_x) *
                               ((level_height + block_y - 1) / block_y) * block_bytes)
      return false;
    out->levels[i] = {file + offset, length, level_width, level_height};
  }
  out->vk_format = vk_format;
  out->width = width;
  out->height = height;
  out->level_count = levels;
  if (known) {
    out->block_width = block_x;
    out->block_height = block_y;
    out->block_bytes = block_bytes;
  }
  return true;
}
