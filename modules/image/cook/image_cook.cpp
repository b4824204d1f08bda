// SPDX-License-Identifier: Zlib
// image_cook.x86_64: a source image becomes a KTX 2.0 texture with its mip
// chain in a GPU format. Loaded by the cook_texture command only, so the
// decoders and encoders are mapped by texture steps and by no other step.
#include <stdio.h>
#include <string.h>

#include "cook_request.h"
#include "cook_settings.h"
#include "cook_text.h"
#include "ktx2_write.h"
#include "texture_settings.h"

namespace {

// Whether the file's name (without its ending) ends in "_n" or "_normal",
// as normal maps are commonly named.
bool named_as_normal_map(const char* path) {
  const char* base = strrchr(path, '/');
  base = base ? base + 1 : path;
  const char* dot = strchr(base, '.');
  u64 length = dot ? (u64)(dot - base) : strlen(base);
  return name_ends_with(base, length, "_n") || name_ends_with(base, length, "_normal");
}

// Whether the texels read as unit vectors pointing out of the surface, as a
// normal map's do: the name alone misleads ("exit_button_normal.png" is a
// button in its normal state).
bool looks_like_normal_map(const DecodedImage* image) {
  u64 texels = (u64)image->width * image->height, unit = 0;
  for (u64 i = 0; i < texels; ++i) {
    const u8* texel = image->rgba.data + i * 4;
    float x = texel[0] / 127.5f - 1.0f, y = texel[1] / 127.5f - 1.0f, z = texel[2] / 127.5f - 1.0f;
    float length = x * x + y * y + z * z;
    unit += z > 0.0f && texel[3] == 255 && length > 0.8f && length < 1.2f;
  }
  return image->channels >= 3 && unit * 20 >= texels * 19;  // 95% of them
}

bool has_transparency(const DecodedImage* image) {
  if (image->channels != 2 && image->channels != 4) return false;
  for (u64 i = 3; i < image->rgba.count; i += 4)
    if (image->rgba.data[i] != 255) return true;
  return false;
}

// The defaults for what settings leave open: BC5 for normal maps (named so,
// and holding unit vectors), BC4 for one channel, BC3 with transparency,
// BC1 otherwise.
void choose_defaults(const char* path, const DecodedImage* image, TextureSettings* settings) {
  EncodeSettings* encode = &settings->encode;
  if (!settings->space_given)
    encode->space = named_as_normal_map(path) && looks_like_normal_map(image) ? kSpaceNormal
                    : image->channels == 1                                    ? kSpaceLinear
                                                                              : kSpaceSrgb;
  if (!settings->format_given)
    encode->format = encode->space == kSpaceNormal ? kFormatBc5
                     : image->channels == 1        ? kFormatBc4
                     : has_transparency(image)     ? kFormatBc3
                                                   : kFormatBc1;
}

}  // namespace

extern "C" {

ZU_EXPORT bool image_cook_texture(const CookRequest* request, CookResult* result) {
  *result = {};
  TextureSettings settings;
  texture_settings_init(&settings);
  if (!settings_read_files(request->settings, request->settings_count, &settings, &result->messages,
                           texture_settings_read))
    return false;
  DecodedImage image;
  const char* error = nullptr;
  if (!decode_image(request->path, request->bytes, request->size, &image, &error)) {
    char line[1024];
    snprintf(line, sizeof(line), "%s: cannot be decoded: %s\n", request->path, error);
    cook_add_text(&result->messages, line);
    zu_array_destroy(&image.rgba);
    return false;
  }
  choose_defaults(request->path, &image, &settings);
  ZuArray<MipLevel> mips = {};
  build_mips(&image, settings.encode.space, settings.max_size, settings.mips, &mips);
  zu_array_destroy(&image.rgba);
  ZuArray<EncodedLevel> levels = {};
  bool ok = true;
  for (u32 i = 0; ok && i < mips.count; ++i) {
    EncodedLevel* level = zu_array_push_zeroed(&levels);
    level->width = mips.data[i].width;
    level->height = mips.data[i].height;
    ok = encode_level(mips.data + i, &settings.encode, &level->bytes, &error);
  }
  if (ok) {
    ktx2_write(&settings.encode, levels.data, levels.count, &result->output);
  } else {
    char line[1024];
    snprintf(line, sizeof(line), "%s: cannot be encoded: %s\n", request->path, error);
    cook_add_text(&result->messages, line);
  }
  encode_finish();
  for (u32 i = 0; i < levels.count; ++i) zu_array_destroy(&levels.data[i].bytes);
  zu_array_destroy(&levels);
  destroy_mips(&mips);
  return ok;
}

ZU_EXPORT void image_cook_release(CookResult* result) { cook_result_release(result); }
}
