// SPDX-License-Identifier: Zlib
#include "mesh_normals.h"

#include <math.h>
#include <meshoptimizer.h>
#include <string.h>

#include "zu_array.h"

namespace {

void cross(const float* a, const float* b, const float* c, float* out) {
  float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
  out[0] = u[1] * v[2] - u[2] * v[1];
  out[1] = u[2] * v[0] - u[0] * v[2];
  out[2] = u[0] * v[1] - u[1] * v[0];
}

float length(const float* v) { return sqrtf(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

void mesh_make_normals(MeshVertex* corners, u64 count, float smoothing_degrees) {
  u64 triangles = count / 3;
  // Corners at one position share an id (hashed, exact floats).
  ZuArray<u32> position_id = {};
  zu_array_resize(&position_id, count);
  meshopt_Stream stream = {corners[0].position, sizeof(corners[0].position), sizeof(MeshVertex)};
  u64 positions =
      meshopt_generateVertexRemapMulti(position_id.data, nullptr, count, count, &stream, 1);
  // Each triangle's normal, as long as twice its area, and its direction.
  ZuArray<float> area = {}, unit = {};
  zu_array_resize(&area, triangles * 3);
  zu_array_resize(&unit, triangles * 3);
  for (u64 t = 0; t < triangles; ++t) {
    float* n = area.data + t * 3;
    cross(corners[t * 3].position, corners[t * 3 + 1].position, corners[t * 3 + 2].position, n);
    float l = length(n);
    for (u32 a = 0; a < 3; ++a) unit.data[t * 3 + a] = l > 0 ? n[a] / l : 0;
  }
  // The triangles around each position, in one list cut by first.
  ZuArray<u32> first = {}, around = {};
  zu_array_resize(&first, positions + 1);
  memset(first.data, 0, (positions + 1) * sizeof(u32));
  for (u64 c = 0; c < count; ++c) ++first.data[position_id.data[c] + 1];
  for (u64 p = 0; p < positions; ++p) first.data[p + 1] += first.data[p];
  zu_array_resize(&around, count);
  ZuArray<u32> fill = {};
  zu_array_assign_range(&fill, first.data, first.data + positions);
  for (u64 c = 0; c < count; ++c) around.data[fill.data[position_id.data[c]]++] = (u32)(c / 3);
  float limit = cosf(smoothing_degrees * (float)M_PI / 180.0f);
  for (u64 c = 0; c < count; ++c) {
    const float* own = unit.data + c / 3 * 3;
    float sum[3] = {0, 0, 0};
    u32 p = position_id.data[c];
    for (u32 i = first.data[p]; i < first.data[p + 1]; ++i) {
      const float* other = unit.data + around.data[i] * 3;
      if (own[0] * other[0] + own[1] * other[1] + own[2] * other[2] < limit) continue;
      for (u32 a = 0; a < 3; ++a) sum[a] += area.data[around.data[i] * 3 + a];
    }
    float l = length(sum);
    for (u32 a = 0; a < 3; ++a) corners[c].normal[a] = l > 0 ? sum[a] / l : own[a];
  }
  zu_array_destroy(&position_id);
  zu_array_destroy(&area);
  zu_array_destroy(&unit);
  zu_array_destroy(&first);
  zu_array_destroy(&around);
  zu_array_destroy(&fill);
}
