// SPDX-License-Identifier: Zlib
// The KTX 2.0 container as Khronos defines it, with one basic descriptor
// block of the Khronos Data Format 1.3 describing the texels.
#include "ktx2_write.h"

#include <string.h>

#include "tov_texture.h"

namespace {

// Khronos Data Format values used here.
enum : u32 {
  kModelRgbsda = 1,
  kModelBc1a = 128,
  kModelBc3 = 130,
  kModelBc4 = 131,
  kModelBc5 = 132,
  kModelAstc = 162,
  kPrimariesBt709 = 1,
  kTransferLinear = 1,
  kTransferSrgb = 2,
  kQualifierLinear = 0x10u,  // a sample stored linearly in an sRGB format (alpha)
};

struct Sample {
  u32 bit_offset, bit_length;
  u32 channel;  // channel id and qualifiers
  u32 upper;
};

void put32(ZuArray<u8>* out, u32 value) {
  for (u32 i = 0; i < 4; ++i) zu_array_push(out, (u8)(value >> (8 * i)));
}

void pad_to(ZuArray<u8>* out, u64 alignment) {
  while (out->count % alignment) zu_array_push(out, (u8)0);
}

// The one basic descriptor block of the format.
void write_dfd(const EncodeSettings* settings, ZuArray<u8>* out) {
  bool srgb = settings->space == kSpaceSrgb;
  u32 model = 0, block_x = 4, block_y = 4;
  Sample samples[4];
  u32 count = 0;
  constexpr u32 kAll = 0xFFFFFFFFu;
  switch (settings->format) {
    case kFormatBc1:
      model = kModelBc1a;
      samples[count++] = {0, 64, 0, kAll};
      break;
    case kFormatBc3:
      model = kModelBc3;
      samples[count++] = {0, 64, 15u | (srgb ? (u32)kQualifierLinear : 0u), kAll};
      samples[count++] = {64, 64, 0, kAll};
      break;
    case kFormatBc4:
      model = kModelBc4;
      samples[count++] = {0, 64, 0, kAll};
      break;
    case kFormatBc5:
      model = kModelBc5;
      samples[count++] = {0, 64, 0, kAll};
      samples[count++] = {64, 64, 1, kAll};
      break;
    case kFormatAstc:
      model = kModelAstc;
      block_x = settings->block_x;
      block_y = settings->block_y;
      samples[count++] = {0, 128, 0, kAll};
      break;
    case kFormatRgba8:
      model = kModelRgbsda;
      block_x = block_y = 1;
      for (u32 c = 0; c < 3; ++c) samples[count++] = {8 * c, 8, c, 255};
      samples[count++] = {24, 8, 15u | (srgb ? (u32)kQualifierLinear : 0u), 255};
      break;
  }
  u32 block_size = 24 + 16 * count;
  put32(out, 4 + block_size);         // dfdTotalSize
  put32(out, 0);                      // vendor Khronos, basic descriptor
  put32(out, 2u | block_size << 16);  // version 1.3, block size
  bool linear = !srgb || settings->format == kFormatBc4 || settings->format == kFormatBc5;
  put32(out, model | kPrimariesBt709 << 8 | (linear ? kTransferLinear : kTransferSrgb) << 16);
  put32(out, (block_x - 1) | (block_y - 1) << 8);
  put32(out, format_block_bytes(settings->format));  // bytesPlane0
  put32(out, 0);
  for (u32 i = 0; i < count; ++i) {
    put32(out,
          samples[i].bit_offset | (samples[i].bit_length - 1) << 16 | samples[i].channel << 24);
    put32(out, 0);  // sample position
    put32(out, 0);  // lower
    put32(out, samples[i].upper);
  }
}

}  // namespace

u32 ktx2_vk_format(const EncodeSettings* settings) {
  bool srgb = settings->space == kSpaceSrgb;
  switch (settings->format) {
    case kFormatBc1:
      return srgb ? TOV_VK_BC1_RGB_SRGB : TOV_VK_BC1_RGB_UNORM;
    case kFormatBc3:
      return srgb ? TOV_VK_BC3_SRGB : TOV_VK_BC3_UNORM;
    case kFormatBc4:
      return TOV_VK_BC4_UNORM;
    case kFormatBc5:
      return TOV_VK_BC5_UNORM;
    case kFormatRgba8:
      return srgb ? TOV_VK_R8G8B8A8_SRGB : TOV_VK_R8G8B8A8_UNORM;
    case kFormatAstc:
      break;
  }
  static const u32 kBlocks[][2] = {{4, 4}, {5, 4}, {5, 5}, {6, 5}, {6, 6}, {8, 5}, {8, 6}, {8, 8}};
  for (u32 i = 0; i < 8; ++i)
    if (kBlocks[i][0] == settings->block_x && kBlocks[i][1] == settings->block_y)
      return TOV_VK_ASTC_4x4_UNORM + 2 * i + (srgb ? 1 : 0);
  return 0;
}

void ktx2_write(const EncodeSettings* settings, const EncodedLevel* levels, u32 level_count,
                ZuArray<u8>* out) {
  static const u8 kIdentifier[] = TOV_KTX2_IDENTIFIER;
  for (u8 byte : kIdentifier) zu_array_push(out, byte);
  put32(out, ktx2_vk_format(settings));
  put32(out, 1);  // typeSize
  put32(out, levels[0].width);
  put32(out, levels[0].height);
  put32(out, 0);  // depth
  put32(out, 0);  // layers
  put32(out, 1);  // faces
  put32(out, level_count);
  put32(out, 0);  // no supercompression
  u64 index_at = out->count;
  for (u32 i = 0; i < 8; ++i) put32(out, 0);  // the index, filled below
  u64 levels_at = out->count;
  for (u32 i = 0; i < level_count * 6; ++i) put32(out, 0);
  u64 dfd_at = out->count;
  write_dfd(settings, out);
  u64 kvd_at = out->count;
  static const char kWriter[] = "KTXwriter\0tov";
  put32(out, sizeof(kWriter));
  for (char c : kWriter) zu_array_push(out, (u8)c);
  pad_to(out, 4);
  u64 kvd_length = out->count - kvd_at;
  u32 index[4] = {(u32)dfd_at, (u32)(kvd_at - dfd_at), (u32)kvd_at, (u32)kvd_length};
  for (u32 i = 0; i < 4; ++i) memcpy(out->data + index_at + 4 * i, &index[i], 4);
  // Levels smallest first, each aligned to its block size (a multiple of 4).
  u64 alignment =
      format_block_bytes(settings->format) < 4 ? 4 : format_block_bytes(settings->format);
  for (u32 i = level_count; i-- > 0;) {
    pad_to(out, alignment);
    u64 entry[3] = {out->count, levels[i].bytes.count, levels[i].bytes.count};
    memcpy(out->data + levels_at + 24 * i, entry, sizeof(entry));
    u64 at = out->count;
    zu_array_resize(out, at + levels[i].bytes.count);
    memcpy(out->data + at, levels[i].bytes.data, levels[i].bytes.count);
  }
}
