// SPDX-License-Identifier: Zlib
// The image module: PNG, JPEG and TGA sources are cooked into KTX 2.0
// textures with mips in a GPU format ("cook_texture", output "<stem>.ktx2",
// settings in ".texture.toml" for a folder and "<name>.toml" beside the
// source, as hero.png.toml for hero.png); formats a GPU takes already (.dds, .ktx2) and the others
// are packed as they are.
#include "cook_texture.h"
#include "engine_module.h"

void engine_module_register(void) {
  if (g_tov.register_rule_invocation)
    g_tov.register_rule_invocation("cook_texture", cook_texture, 1, 0, 0, nullptr, 0);
  static const char* const kCooked[] = {".png", ".jpg", ".jpeg", ".tga"};
  for (const char* ending : kCooked) {
    char settings[16];
    sys_snprintf(settings, sizeof(settings), "%s.toml", ending);
    engine_module_register_rule(ending, "cook_texture", ".ktx2", TOV_TYPE_IMAGE, settings,
                                ".texture.toml");
  }
  static const char* const kPacked[] = {".dds", ".ktx2", ".hdr", ".exr", ".bmp"};
  engine_module_register_rules(kPacked, "copy", TOV_TYPE_IMAGE);
}
