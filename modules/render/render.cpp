// SPDX-License-Identifier: Zlib
// The render module: shader sources, packed as they are.
#include "engine_module.h"

void engine_module_register(void) {
  static const char* const kEndings[] = {".hlsl", ".glsl", ".spv",  ".wgsl",
                                         ".vert", ".frag", ".comp", ".shader"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_RENDER);
}
