// SPDX-License-Identifier: Zlib
// The font module: fonts, packed as they are.
#include "engine_module.h"

void engine_module_register(void) {
  static const char* const kEndings[] = {".ttf", ".otf", ".woff2"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_FONT);
}
