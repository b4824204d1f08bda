// SPDX-License-Identifier: Zlib
// Texture settings in TOML; every key is optional and checked:
//
//     format = "bc1"         # "bc1", "bc3", "bc4", "bc5", "astc", "rgba8";
//                            # default: bc1 opaque, bc3 with alpha, bc5 for
//                            # normal maps, bc4 for one channel
//     space = "srgb"         # "srgb" (colour), "linear" (masks, data) or
//                            # "normal"; default: normal for names ending in
//                            # _n or _normal, linear for one channel, srgb
//     mips = 0               # levels kept, 1 to 15; 0 (default): down to 1x1
//     max_size = 0           # longest side of level 0, halved until it fits
//     astc_block = "6x6"     # 4x4, 5x4, 5x5, 6x5, 6x6, 8x5, 8x6, 8x8
//     astc_quality = "medium"  # fastest, fast, medium, thorough, exhaustive
//     bc_quality = "normal"  # BC1/BC3 colour fit: fast, normal or best
#include "texture_settings.h"

#include "cook_settings.h"

namespace {

const char* const kFormats[] = {"bc1", "bc3", "bc4", "bc5", "astc", "rgba8"};
const char* const kSpaces[] = {"srgb", "linear", "normal"};
const char* const kBlocks[] = {"4x4", "5x4", "5x5", "6x5", "6x6", "8x5", "8x6", "8x8"};
const u32 kBlockSizes[][2] = {{4, 4}, {5, 4}, {5, 5}, {6, 5}, {6, 6}, {8, 5}, {8, 6}, {8, 8}};
const char* const kQualities[] = {"fastest", "fast", "medium", "thorough", "exhaustive"};
const char* const kBcQualities[] = {"fast", "normal", "best"};
// The encoder's presets for those names.
const float kQualityValues[] = {0.0f, 10.0f, 60.0f, 98.0f, 100.0f};

}  // namespace

void texture_settings_init(TextureSettings* settings) {
  *settings = {};
  settings->encode.format = kFormatBc1;
  settings->encode.space = kSpaceSrgb;
  settings->encode.block_x = settings->encode.block_y = 6;
  settings->encode.astc_quality = kQualityValues[2];
  settings->encode.bc_quality = 1;
}

bool texture_settings_read(const char* path, const char* text, u64 size, TextureSettings* settings,
                           ZuArray<char>* messages) {
  return settings_read_keys(
      path, text, size, messages,
      [&](const std::string& name, const toml::key& key, const toml::node& node) {
        u32 choice = 0;
        i64 number = 0;
        bool ok = true;
        if (name == "format") {
          ok = settings_choose(node, "format", kFormats, 6, &choice, path, messages);
          settings->encode.format = (TextureFormat)choice;
          settings->format_given = true;
        } else if (name == "space") {
          ok = settings_choose(node, "space", kSpaces, 3, &choice, path, messages);
          settings->encode.space = (TextureSpace)choice;
          settings->space_given = true;
        } else if (name == "mips") {
          ok = settings_number(node, "mips", 0, 15, &number, path, messages);
          settings->mips = (u32)number;
        } else if (name == "max_size") {
          ok = settings_number(node, "max_size", 0, 16384, &number, path, messages);
          settings->max_size = (u32)number;
        } else if (name == "astc_block") {
          ok = settings_choose(node, "astc_block", kBlocks, 8, &choice, path, messages);
          settings->encode.block_x = kBlockSizes[choice][0];
          settings->encode.block_y = kBlockSizes[choice][1];
        } else if (name == "astc_quality") {
          ok = settings_choose(node, "astc_quality", kQualities, 5, &choice, path, messages);
          settings->encode.astc_quality = kQualityValues[choice];
        } else if (name == "bc_quality") {
          ok = settings_choose(node, "bc_quality", kBcQualities, 3, &settings->encode.bc_quality,
                               path, messages);
        } else {
          ok = settings_fail(messages, path, key.source().begin.line,
                             "unknown setting '" + name +
                                 "' (textures know format, space, mips, max_size, astc_block, "
                                 "astc_quality, bc_quality)");
        }
        return ok;
      });
}
