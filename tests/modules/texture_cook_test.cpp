// SPDX-License-Identifier: Zlib
#include <astcenc.h>
#include <gtest/gtest.h>
#include <math.h>
#include <squish.h>

#include <vector>

#include "encode.h"
#include "ktx2_write.h"
#include "mips.h"
#include "tov/tov_archive.h"
#include "tov_texture.h"

namespace {

// A photograph's worth of structure: smooth gradients with a soft pattern,
// alpha from a ramp.
DecodedImage test_image(u32 width, u32 height) {
  DecodedImage image = {width, height, 4, {}};
  zu_array_resize(&image.rgba, (u64)width * height * 4);
  for (u32 y = 0; y < height; ++y) {
    for (u32 x = 0; x < width; ++x) {
      u8* texel = image.rgba.data + ((u64)y * width + x) * 4;
      texel[0] = (u8)(255.0 * x / (width - 1));
      texel[1] = (u8)(255.0 * y / (height - 1));
      texel[2] = (u8)(128 + 100 * sin(x * 0.2) * cos(y * 0.15));
      texel[3] = (u8)(255.0 * (x + y) / (width + height - 2));
    }
  }
  return image;
}

// PSNR over the channels a format keeps.
double psnr(const u8* a, const u8* b, u64 texels, u32 channels) {
  double error = 0;
  for (u64 i = 0; i < texels; ++i)
    for (u32 c = 0; c < channels; ++c) error += pow((double)a[i * 4 + c] - b[i * 4 + c], 2);
  error /= (double)texels * channels;
  return error == 0 ? 99.0 : 10.0 * log10(255.0 * 255.0 / error);
}

std::vector<u8> decode_level(const EncodeSettings& settings, const ZuArray<u8>& bytes, u32 width,
                             u32 height) {
  std::vector<u8> rgba((u64)width * height * 4);
  if (settings.format == kFormatAstc) {
    astcenc_config config;
    astcenc_config_init(settings.space == kSpaceSrgb ? ASTCENC_PRF_LDR_SRGB : ASTCENC_PRF_LDR,
                        settings.block_x, settings.block_y, 1, ASTCENC_PRE_FAST,
                        ASTCENC_FLG_DECOMPRESS_ONLY, &config);
    astcenc_context* context = nullptr;
    astcenc_context_alloc(&config, 1, &context);
    void* slices[] = {rgba.data()};
    astcenc_image image = {width, height, 1, ASTCENC_TYPE_U8, slices};
    astcenc_swizzle swizzle = {ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
    EXPECT_EQ(astcenc_decompress_image(context, bytes.data, bytes.count, &image, &swizzle, 0),
              ASTCENC_SUCCESS);
    astcenc_context_free(context);
  } else if (settings.format == kFormatBc1 || settings.format == kFormatBc3) {
    squish::DecompressImage(rgba.data(), (int)width, (int)height, bytes.data,
                            settings.format == kFormatBc1 ? squish::kDxt1 : squish::kDxt5);
  } else {
    // BC4 and BC5 blocks are BC3 alpha halves: decoded as such, channel by
    // channel, by the library's BC3 decoder.
    u32 channels = settings.format == kFormatBc4 ? 1 : 2;
    u32 blocks_x = (width + 3) / 4;
    for (u32 y = 0; y < height; y += 4) {
      for (u32 x = 0; x < width; x += 4) {
        for (u32 c = 0; c < channels; ++c) {
          u8 bc3[16] = {}, texels[64];
          memcpy(bc3, bytes.data + (((u64)y / 4 * blocks_x + x / 4) * channels + c) * 8, 8);
          squish::Decompress(texels, bc3, squish::kDxt5);
          for (u32 i = 0; i < 16 && y + i / 4 < height; ++i)
            if (x + i % 4 < width)
              rgba[((u64)(y + i / 4) * width + x + i % 4) * 4 + c] = texels[i * 4 + 3];
        }
      }
    }
  }
  return rgba;
}

}  // namespace

// Level 0 of each format, decoded by the codec's own decoder, stays within
// a measured distance of its source (measured values in the comments).
TEST(TextureCook, EachFormatDecodesCloseToItsSource) {
  struct Case {
    TextureFormat format;
    u32 block, channels;
    double at_least;
  } cases[] = {
      {kFormatBc1, 4, 3, 35.0},   // 36.2 dB measured
      {kFormatBc3, 4, 4, 36.0},   // 37.4 dB
      {kFormatBc4, 4, 1, 52.0},   // 55.1 dB
      {kFormatBc5, 4, 2, 52.0},   // 54.8 dB
      {kFormatAstc, 4, 4, 39.0},  // 40.8 dB at 4x4, "medium"
      {kFormatAstc, 8, 4, 33.0},  // 35.2 dB at 8x8
  };
  for (const Case& c : cases) {
    EncodeSettings settings = {c.format, kSpaceLinear, c.block, c.block, 60.0f, 1};
    DecodedImage image = test_image(64, 48);
    ZuArray<MipLevel> levels = {};
    build_mips(&image, settings.space, 0, 1, &levels);
    EXPECT_EQ(image.rgba.count, 0u);  // level 0 took the texels over
    ZuArray<u8> bytes = {};
    const char* error = nullptr;
    ASSERT_TRUE(encode_level(levels.data, &settings, &bytes, &error)) << error;
    std::vector<u8> decoded = decode_level(settings, bytes, 64, 48);
    double measured = psnr(levels.data[0].rgba.data, decoded.data(), 64 * 48, c.channels);
    EXPECT_GE(measured, c.at_least) << "format " << c.format << " block " << c.block;
    zu_array_destroy(&bytes);
    destroy_mips(&levels);
  }
}

// Odd sizes halve down to 1x1, rounding down; colour is filtered in linear
// light and data as it is; normal maps come out unit length.
TEST(TextureCook, MipsHalveOddSizesAndFilterInTheirSpace) {
  DecodedImage image = test_image(37, 5);
  ZuArray<MipLevel> levels = {};
  build_mips(&image, kSpaceSrgb, 0, 0, &levels);
  const u32 expected[][2] = {{37, 5}, {18, 2}, {9, 1}, {4, 1}, {2, 1}, {1, 1}};
  ASSERT_EQ(levels.count, 6u);
  for (u32 i = 0; i < 6; ++i) {
    EXPECT_EQ(levels.data[i].width, expected[i][0]);
    EXPECT_EQ(levels.data[i].height, expected[i][1]);
  }
  destroy_mips(&levels);
  image = test_image(37, 5);
  build_mips(&image, kSpaceSrgb, 16, 2, &levels);  // max_size and a level limit
  ASSERT_EQ(levels.count, 2u);
  EXPECT_EQ(levels.data[0].width, 9u);
  EXPECT_EQ(levels.data[1].width, 4u);
  destroy_mips(&levels);
  zu_array_destroy(&image.rgba);

  // A black and white checkerboard: its mip is middle grey in light, which
  // sRGB encodes as 188; as data it is 128 (or 127).
  DecodedImage checker = {2, 2, 3, {}};
  const u8 texels[] = {0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255};
  struct Space {
    TextureSpace space;
    u8 low, high;
  } spaces[] = {{kSpaceSrgb, 187, 189}, {kSpaceLinear, 127, 128}};
  for (const Space& s : spaces) {
    zu_array_append(&checker.rgba, texels, 16);
    build_mips(&checker, s.space, 0, 0, &levels);
    ASSERT_EQ(levels.count, 2u);
    EXPECT_GE(levels.data[1].rgba.data[0], s.low) << s.space;
    EXPECT_LE(levels.data[1].rgba.data[0], s.high) << s.space;
    EXPECT_EQ(levels.data[1].rgba.data[3], 255);
    destroy_mips(&levels);
  }
  // Two normals leaning apart, (0.6, 0, 0.8) and (-0.6, 0, 0.8), average to
  // (0, 0, 0.8): renormalised, straight out.
  const u8 normals[] = {204, 128, 229, 255, 51, 128, 229, 255,
                        204, 128, 229, 255, 51, 128, 229, 255};
  zu_array_append(&checker.rgba, normals, 16);
  build_mips(&checker, kSpaceNormal, 0, 0, &levels);
  const u8* up = levels.data[1].rgba.data;
  EXPECT_NEAR(up[0], 128, 1);
  EXPECT_NEAR(up[2], 255, 1);
  destroy_mips(&levels);
  zu_array_destroy(&checker.rgba);
}

// The container the writer makes is what the runtime's view reads: format,
// sizes and every level's bytes; a file cut short or with a bad level is
// refused.
TEST(TextureCook, Ktx2RoundTripsThroughTheRuntimeView) {
  DecodedImage image = test_image(20, 12);
  EncodeSettings settings = {kFormatBc3, kSpaceSrgb, 4, 4, 60.0f, 1};
  ZuArray<MipLevel> mips = {};
  build_mips(&image, settings.space, 0, 0, &mips);
  std::vector<EncodedLevel> levels(mips.count);
  for (u32 i = 0; i < mips.count; ++i) {
    levels[i] = {mips.data[i].width, mips.data[i].height, {}};
    const char* error = nullptr;
    ASSERT_TRUE(encode_level(mips.data + i, &settings, &levels[i].bytes, &error));
  }
  ZuArray<u8> file = {};
  ktx2_write(&settings, levels.data(), (u32)levels.size(), &file);
  TovTexture texture;
  ASSERT_TRUE(tov_texture_view(file.data, file.count, &texture));
  EXPECT_EQ(texture.vk_format, (u32)TOV_VK_BC3_SRGB);
  EXPECT_EQ(texture.width, 20u);
  EXPECT_EQ(texture.height, 12u);
  ASSERT_EQ(texture.level_count, 5u);  // 20x12 10x6 5x3 2x1 1x1
  EXPECT_EQ(texture.block_bytes, 16u);
  for (u32 i = 0; i < texture.level_count; ++i) {
    EXPECT_EQ(texture.levels[i].width, levels[i].width);
    EXPECT_EQ(texture.levels[i].size, levels[i].bytes.count);
    EXPECT_EQ(memcmp(texture.levels[i].data, levels[i].bytes.data, levels[i].bytes.count), 0);
    // Each level starts at a multiple of its block size.
    EXPECT_EQ(((const u8*)texture.levels[i].data - file.data) % 16, 0);
  }
  // Any alignment: the same bytes one byte further on.
  std::vector<u8> shifted(file.count + 1);
  memcpy(shifted.data() + 1, file.data, file.count);
  EXPECT_TRUE(tov_texture_view(shifted.data() + 1, file.count, &texture));
  EXPECT_FALSE(tov_texture_view(file.data, file.count - 1, &texture));
  EXPECT_FALSE(tov_texture_view(file.data, 40, &texture));
  file.data[80 + 8] ^= 1;  // level 0's length
  EXPECT_FALSE(tov_texture_view(file.data, file.count, &texture));
  file.data[80 + 8] ^= 1;
  file.data[1] = 'X';  // the identifier
  EXPECT_FALSE(tov_texture_view(file.data, file.count, &texture));
  for (EncodedLevel& level : levels) zu_array_destroy(&level.bytes);
  zu_array_destroy(&file);
  destroy_mips(&mips);
  zu_array_destroy(&image.rgba);
}
