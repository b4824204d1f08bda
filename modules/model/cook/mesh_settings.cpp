// SPDX-License-Identifier: Zlib
// Mesh settings in TOML; every key is optional and checked:
//
//     lod_count = 3      # levels, level 0 included, 1 to 8
//     lod_ratio = 0.5    # triangles each level keeps of the one before
//     lod_error = 0.02   # the most a level may stray, relative to the size
//     quantize = false   # half-float positions and texture coordinates,
//                        # 8-bit normals
#include "mesh_settings.h"

#include "cook_settings.h"
#include "tov_mesh.h"

void mesh_settings_init(MeshSettings* settings) {
  *settings = {};
  settings->lod_count = 3;
  settings->lod_ratio = 0.5f;
  settings->lod_error = 0.02f;
}

bool mesh_settings_read(const char* path, const char* text, u64 size, MeshSettings* settings,
                        ZuArray<char>* messages) {
  return settings_read_keys(
      path, text, size, messages,
      [&](const std::string& name, const toml::key& key, const toml::node& node) {
        i64 number = 0;
        double real = 0;
        bool ok;
        if (name == "lod_count") {
          ok = settings_number(node, "lod_count", 1, TOV_MESH_MAX_LODS, &number, path, messages);
          settings->lod_count = (u32)number;
        } else if (name == "lod_ratio") {
          ok = settings_real(node, "lod_ratio", 0.05, 0.95, &real, path, messages);
          settings->lod_ratio = (float)real;
        } else if (name == "lod_error") {
          ok = settings_real(node, "lod_error", 0.0001, 1, &real, path, messages);
          settings->lod_error = (float)real;
        } else if (name == "quantize") {
          ok = settings_flag(node, "quantize", &settings->quantize, path, messages);
        } else {
          ok = settings_fail(messages, path, key.source().begin.line,
                             "unknown setting '" + name +
                                 "' (meshes know lod_count, lod_ratio, lod_error, quantize)");
        }
        return ok;
      });
}
