// SPDX-License-Identifier: Zlib
#include "encode.h"

#include <astcenc.h>
#include <squish.h>
#include <string.h>

namespace {

// Debian's libsquish takes the BC4 and BC5 flags but writes BC1 blocks for
// them. A BC4 block is exactly a BC3 block's alpha half, so one channel is
// encoded as alpha through the library's BC3 (DXT5) alpha encoder, and BC5
// is two such blocks, red then green.
void encode_channels(const MipLevel* level, u32 channel_count, ZuArray<u8>* out) {
  u64 texels = (u64)level->width * level->height;
  u64 blocks = (u64)((level->width + 3) / 4) * ((level->height + 3) / 4);
  u8* as_alpha = (u8*)sys_malloc(texels * 4);
  u8* bc3 = (u8*)sys_malloc(blocks * 16);
  zu_array_resize(out, blocks * 8 * channel_count);
  for (u32 channel = 0; channel < channel_count; ++channel) {
    for (u64 i = 0; i < texels; ++i) {
      memset(as_alpha + i * 4, 0, 3);
      as_alpha[i * 4 + 3] = level->rgba.data[i * 4 + channel];
    }
    squish::CompressImage(as_alpha, (int)level->width, (int)level->height, bc3, squish::kDxt5);
    for (u64 b = 0; b < blocks; ++b)
      memcpy(out->data + (b * channel_count + channel) * 8, bc3 + b * 16, 8);
  }
  sys_free(bc3);
  sys_free(as_alpha);
}

bool encode_bc(const MipLevel* level, const EncodeSettings* settings, ZuArray<u8>* out) {
  if (settings->format == kFormatBc4 || settings->format == kFormatBc5) {
    encode_channels(level, settings->format == kFormatBc4 ? 1 : 2, out);
    return true;
  }
  int flags = settings->format == kFormatBc1 ? squish::kDxt1 : squish::kDxt5;
  static const int kFits[] = {squish::kColourRangeFit, squish::kColourClusterFit,
                              squish::kColourIterativeClusterFit};
  flags |= kFits[settings->bc_quality < 3 ? settings->bc_quality : 1];
  // Colour is weighed as the eye sees it; data channel by channel.
  float perceptual[] = {0.2126f, 0.7152f, 0.0722f};
  // BC1 here is opaque: the encoder would turn texels below half alpha into
  // its transparent black.
  const u8* source = level->rgba.data;
  u8* opaque = nullptr;
  if (settings->format == kFormatBc1) {
    opaque = (u8*)sys_malloc(level->rgba.count);
    memcpy(opaque, source, level->rgba.count);
    for (u64 i = 3; i < level->rgba.count; i += 4) opaque[i] = 255;
    source = opaque;
  }
  zu_array_resize(
      out, (u64)squish::GetStorageRequirements((int)level->width, (int)level->height, flags));
  squish::CompressImage(source, (int)level->width, (int)level->height, out->data, flags,
                        settings->space == kSpaceSrgb ? perceptual : nullptr);
  sys_free(opaque);
  return true;
}

// One encoder context for every level of a texture (a context is costly to
// make), made again only when the settings change, freed by encode_finish. A compress-only context
// may skip work a general decoder would need; its output is plain ASTC.
struct AstcContext {
  astcenc_context* context;
  astcenc_profile profile;
  u32 block_x, block_y, flags;
  float quality;
};
AstcContext g_astc;

astcenc_context* astc_context(const EncodeSettings* settings, const char** error) {
  astcenc_profile profile = settings->space == kSpaceSrgb ? ASTCENC_PRF_LDR_SRGB : ASTCENC_PRF_LDR;
  u32 flags = ASTCENC_FLG_SELF_DECOMPRESS_ONLY |
              (settings->space == kSpaceNormal ? ASTCENC_FLG_MAP_NORMAL : 0);
  if (g_astc.context && g_astc.profile == profile && g_astc.block_x == settings->block_x &&
      g_astc.block_y == settings->block_y && g_astc.flags == flags &&
      g_astc.quality == settings->astc_quality)
    return g_astc.context;
  if (g_astc.context) astcenc_context_free(g_astc.context);
  g_astc = {nullptr, profile, settings->block_x, settings->block_y, flags, settings->astc_quality};
  astcenc_config config;
  astcenc_error status = astcenc_config_init(profile, settings->block_x, settings->block_y, 1,
                                             settings->astc_quality, flags, &config);
  if (status == ASTCENC_SUCCESS) status = astcenc_context_alloc(&config, 1, &g_astc.context);
  if (status != ASTCENC_SUCCESS) {
    *error = astcenc_get_error_string(status);
    g_astc.context = nullptr;
  }
  return g_astc.context;
}

bool encode_astc(const MipLevel* level, const EncodeSettings* settings, ZuArray<u8>* out,
                 const char** error) {
  astcenc_context* context = astc_context(settings, error);
  if (!context) return false;
  u64 blocks = (u64)((level->width + settings->block_x - 1) / settings->block_x) *
               ((level->height + settings->block_y - 1) / settings->block_y);
  zu_array_resize(out, blocks * 16);
  void* slices[] = {level->rgba.data};
  astcenc_image image = {level->width, level->height, 1, ASTCENC_TYPE_U8, slices};
  // Normal maps keep x and y, as the encoder's normal mode expects.
  astcenc_swizzle swizzle =
      settings->space == kSpaceNormal
          ? astcenc_swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_R, ASTCENC_SWZ_R, ASTCENC_SWZ_G}
          : astcenc_swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
  astcenc_error status =
      astcenc_compress_image(context, &image, &swizzle, out->data, out->count, 0);
  astcenc_compress_reset(context);
  if (status != ASTCENC_SUCCESS) {
    *error = astcenc_get_error_string(status);
    return false;
  }
  return true;
}

}  // namespace

void encode_finish(void) {
  if (g_astc.context) astcenc_context_free(g_astc.context);
  g_astc = {};
}

u32 format_block_bytes(TextureFormat format) {
  return format == kFormatBc1 || format == kFormatBc4 ? 8 : format == kFormatRgba8 ? 4 : 16;
}

bool encode_level(const MipLevel* level, const EncodeSettings* settings, ZuArray<u8>* out,
                  const char** error) {
  switch (settings->format) {
    case kFormatRgba8:
      zu_array_resize(out, level->rgba.count);
      memcpy(out->data, level->rgba.data, level->rgba.count);
      return true;
    case kFormatAstc:
      return encode_astc(level, settings, out, error);
    default:
      return encode_bc(level, settings, out);
  }
}
