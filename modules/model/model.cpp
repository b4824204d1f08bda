// SPDX-License-Identifier: Zlib
// The model module: OBJ, glTF and FBX scenes are cooked into one vertex
// and one index buffer with levels of detail ("cook_mesh", output
// "<stem>.mesh", settings in ".mesh.toml" for a folder and "<name>.toml"
// beside the model, as crate.obj.toml for crate.obj). Assimp and
// meshoptimizer live in model_cook.x86_64, loaded only when a mesh cooks.
#include "engine_module.h"

namespace {

u32 cook_mesh(CommandContext* context) {
  return engine_module_cook(context, "cook_mesh", "mesh", "model_cook", "model_cook_mesh",
                            "model_cook_release");
}

}  // namespace

void engine_module_register(void) {
  static const char* const kCooked[] = {".obj", ".gltf", ".glb", ".fbx"};
  engine_module_register_cooking("cook_mesh", cook_mesh, kCooked, ".mesh", TOV_TYPE_MODEL,
                                 ".mesh.toml");
}
