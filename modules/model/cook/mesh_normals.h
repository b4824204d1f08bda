// SPDX-License-Identifier: Zlib
// Normals for models that come without them.
#pragma once

#include "zu_sys.h"

struct MeshVertex {
  float position[3], normal[3], uv[2];
};

// Sets the normal of every corner of triangles given as corners (three a
// triangle, unshared): the area-weighted normals of the triangles around
// its position that meet its own within smoothing_degrees, so a crate's
// edges stay hard and a sphere's surface smooth.
void mesh_make_normals(MeshVertex* corners, u64 count, float smoothing_degrees);
