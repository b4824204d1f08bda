// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <math.h>
#include <meshoptimizer.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "cooked.h"
#include "test_support.h"
#include "tov/tov_archive.h"
#include "tov_mesh.h"

extern "C" bool model_cook_mesh(const CookRequest* request, CookResult* result);

namespace {

struct MeshCooked : Cooked {
  TovMesh mesh;
  bool viewed;
};

// Cooks the file at path (its bytes as given, or as on disk).
void cook(const std::string& path, const std::string& bytes, const std::string& settings,
          MeshCooked* cooked) {
  cook_source(model_cook_mesh, path, bytes.empty() ? read_file(path) : bytes, settings, cooked);
  cooked->viewed = cooked->ok && tov_mesh_view(cooked->result.output.data,
                                               cooked->result.output.count, &cooked->mesh);
}

// A bumpy 64 x 64 grid whose triangles come in a scrambled order, as an
// exporter that never ordered them for a GPU would write them.
struct Grid {
  std::string obj;
  std::vector<u32> indices;
  float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
};

Grid make_grid() {
  const u32 n = 64;
  Grid grid;
  for (u32 y = 0; y <= n; ++y) {
    for (u32 x = 0; x <= n; ++x) {
      char line[96];
      snprintf(line, sizeof(line), "v %.4f %.4f %.4f\n", x * 0.1, y * 0.1,
               0.2 * sin(x * 0.3) * cos(y * 0.2));
      float p[3];
      sscanf(line, "v %f %f %f", &p[0], &p[1], &p[2]);
      for (u32 a = 0; a < 3; ++a) {
        grid.low[a] = fminf(grid.low[a], p[a]);
        grid.high[a] = fmaxf(grid.high[a], p[a]);
      }
      grid.obj += line;
    }
  }
  for (u32 y = 0; y < n; ++y) {
    for (u32 x = 0; x < n; ++x) {
      u32 a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
      for (u32 i : {a, b, d, a, d, c}) grid.indices.push_back(i);
    }
  }
  u32 seed = 1;
  for (u64 t = grid.indices.size() / 3 - 1; t > 0; --t) {
    seed = seed * 1103515245 + 12345;
    u64 other = (seed >> 8) % (t + 1);
    for (u32 k = 0; k < 3; ++k) std::swap(grid.indices[t * 3 + k], grid.indices[other * 3 + k]);
  }
  for (u64 t = 0; t < grid.indices.size(); t += 3) {
    char line[64];
    snprintf(line, sizeof(line), "f %u %u %u\n", grid.indices[t] + 1, grid.indices[t + 1] + 1,
             grid.indices[t + 2] + 1);
    grid.obj += line;
  }
  return grid;
}

std::vector<u32> level_indices(const TovMesh& mesh, u32 level) {
  std::vector<u32> out;
  for (u32 i = 0; i < mesh.lods[level].index_count; ++i) {
    u64 at = (u64)(mesh.lods[level].first_index + i) * mesh.index_size;
    u32 index = 0;
    memcpy(&index, (const u8*)mesh.indices + at, mesh.index_size);
    out.push_back(index);
  }
  return out;
}

}  // namespace

// Level 0 keeps every triangle and the bounds, in an order the vertex cache
// likes better than the source's; each further level has fewer triangles
// and strays further. Quantising changes the format, not the geometry.
TEST(MeshCook, LevelsKeepTrianglesAndBoundsAndImproveTheCache) {
  Grid grid = make_grid();
  std::string path = testing::TempDir() + "grid.obj";
  for (bool quantize : {false, true}) {
    SCOPED_TRACE(quantize);
    MeshCooked cooked;
    cook(path, grid.obj,
         std::string("lod_count = 5\nlod_ratio = 0.4\nquantize = ") + (quantize ? "true" : "false"),
         &cooked);
    ASSERT_TRUE(cooked.viewed) << cooked.messages();
    const TovMesh& mesh = cooked.mesh;
    EXPECT_EQ(mesh.lods[0].index_count, grid.indices.size());
    EXPECT_EQ(mesh.vertex_count, 65u * 65u);
    EXPECT_EQ(mesh.index_size, 2u);
    for (u32 a = 0; a < 3; ++a) {
      EXPECT_NEAR(mesh.bounds_min[a], grid.low[a], 1e-5);
      EXPECT_NEAR(mesh.bounds_max[a], grid.high[a], 1e-5);
    }
    EXPECT_EQ(mesh.attribute_count, 2u);  // no texture coordinates in the source
    EXPECT_EQ(mesh.attributes[0].vk_format,
              quantize ? (u32)TOV_VK_R16G16B16A16_SFLOAT : (u32)TOV_VK_R32G32B32_SFLOAT);
    EXPECT_EQ(mesh.vertex_stride, quantize ? 12u : 24u);

    std::vector<u32> level0 = level_indices(mesh, 0);
    float before =
        meshopt_analyzeVertexCache(grid.indices.data(), grid.indices.size(), 65 * 65, 16, 0, 0)
            .acmr;
    float after =
        meshopt_analyzeVertexCache(level0.data(), level0.size(), mesh.vertex_count, 16, 0, 0).acmr;
    EXPECT_LT(after, before * 0.6f) << before << " " << after;
    EXPECT_EQ(mesh.lod_count, 5u);
    for (u32 l = 1; l < mesh.lod_count; ++l) {
      EXPECT_LT(mesh.lods[l].index_count, mesh.lods[l - 1].index_count) << l;
      EXPECT_GE(mesh.lods[l].error, mesh.lods[l - 1].error) << l;
      for (u32 index : level_indices(mesh, l)) ASSERT_LT(index, mesh.vertex_count);
    }
  }
}

// Every importer the module names reads its format: binary glTF, OBJ.
TEST(MeshCook, FormatsImport) {
  struct Case {
    std::string path;
    u32 triangles, attributes;
  } cases[] = {
      {source_dir() + "examples/assets/models/rock.glb", 1280, 3},
      {source_dir() + "examples/assets/models/crate.obj", 12, 2},
  };
  for (const Case& c : cases) {
    MeshCooked cooked;
    cook(c.path, "", "", &cooked);
    ASSERT_TRUE(cooked.viewed) << c.path << cooked.messages();
    EXPECT_EQ(cooked.mesh.lods[0].index_count, c.triangles * 3) << c.path;
    EXPECT_EQ(cooked.mesh.attribute_count, c.attributes) << c.path;
    // A view refuses the file one byte short, or a level past the indices.
    TovMesh mesh;
    EXPECT_FALSE(tov_mesh_view(cooked.result.output.data, cooked.result.output.count - 1, &mesh));
    TovMeshFileHeader header;
    memcpy(&header, cooked.result.output.data, sizeof(header));
    u32 past = header.index_count;  // level 0's first index, three indices short of its end
    memcpy(cooked.result.output.data + header.lod_offset, &past, sizeof(past));
    EXPECT_FALSE(tov_mesh_view(cooked.result.output.data, cooked.result.output.count, &mesh));
  }
}
