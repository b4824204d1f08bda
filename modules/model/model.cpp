// SPDX-License-Identifier: Zlib
// The model module: meshes, packed as they are.
#include "engine_module.h"

void engine_module_register(void) {
  static const char* const kEndings[] = {".gltf", ".glb", ".obj", ".fbx"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_MODEL);
}
