// SPDX-License-Identifier: Zlib
// The image module: textures, packed as they are.
#include "engine_module.h"

void engine_module_register(void) {
  static const char* const kEndings[] = {".png",  ".jpg", ".jpeg", ".tga", ".dds",
                                         ".ktx2", ".hdr", ".exr",  ".bmp"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_IMAGE);
}
