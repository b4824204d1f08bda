// SPDX-License-Identifier: Zlib
// A mesh's settings file (".mesh.toml" for a folder, "<name>.toml" beside
// the model, as crate.obj.toml).
#pragma once

#include "zu_array.h"

struct MeshSettings {
  u32 lod_count;    // levels, level 0 included
  float lod_ratio;  // triangles a level keeps of the level before
  float lod_error;  // the most a level may stray, relative to the mesh's size
  bool quantize;    // half floats and 8-bit normals
};

// The defaults: three levels, each half the one before, 2% error, floats.
void mesh_settings_init(MeshSettings* settings);

// Reads text (the file at path) over the settings so far; false with a
// "path:line: message" line in messages on a TOML error, an unknown key or
// a bad value.
bool mesh_settings_read(const char* path, const char* text, u64 size, MeshSettings* settings,
                        ZuArray<char>* messages);
