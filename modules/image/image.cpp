// SPDX-License-Identifier: Zlib
// The image module: PNG, JPEG and TGA sources are cooked into KTX 2.0
// textures with mips in a GPU format ("cook_texture", output "<stem>.ktx2",
// settings in ".texture.toml" for a folder and "<name>.toml" beside the
// source, as hero.png.toml for hero.png); formats a GPU takes already
// (.dds, .ktx2) and the others are packed as they are. The decoders and
// encoders live in image_cook.x86_64, loaded only when a texture cooks.
#include "engine_module.h"

namespace {

u32 cook_texture(CommandContext* context) {
  return engine_module_cook(context, "cook_texture", "texture", "image_cook", "image_cook_texture",
                            "image_cook_release");
}

}  // namespace

void engine_module_register(void) {
  static const char* const kCooked[] = {".png", ".jpg", ".jpeg", ".tga"};
  engine_module_register_cooking("cook_texture", cook_texture, kCooked, ".ktx2", TOV_TYPE_IMAGE,
                                 ".texture.toml");
  static const char* const kPacked[] = {".dds", ".ktx2", ".hdr", ".exr", ".bmp"};
  engine_module_register_rules(kPacked, "copy", TOV_TYPE_IMAGE);
}
