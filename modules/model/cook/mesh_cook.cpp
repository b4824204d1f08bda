// SPDX-License-Identifier: Zlib
// model_cook.x86_64: a model becomes one vertex and one index buffer with
// levels of detail (sdk/include/tov_mesh.h). Assimp imports and
// triangulates, meshoptimizer orders and simplifies. Loaded by the
// cook_mesh command only.
#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <math.h>
#include <meshoptimizer.h>
#include <stdio.h>
#include <string.h>

#include "cook_request.h"
#include "cook_settings.h"
#include "cook_text.h"
#include "mesh_normals.h"
#include "mesh_settings.h"
#include "tov_mesh.h"

namespace {

typedef MeshVertex Vertex;

// Normals made here keep edges sharper than this hard, as a crate's.
constexpr float kSmoothingDegrees = 80.0f;

struct Mesh {
  ZuArray<Vertex> vertices;
  ZuArray<u32> indices;  // level 0, then each further level
  TovMeshFileLod lods[TOV_MESH_MAX_LODS];
  u32 lod_count;
  bool has_uv;
};

void fail(CookResult* result, const char* path, const char* what, const char* detail = "") {
  char line[1024];
  snprintf(line, sizeof(line), "%s: %s%s\n", path, what, detail);
  cook_add_text(&result->messages, line);
}

void* allocate(size_t size) { return sys_malloc(size); }

// Every triangle of the scene, placed by its nodes, one vertex a corner;
// normals made where a mesh has none. A .gltf may name buffers beside it,
// so it is read from its path; the others from memory.
bool import(const CookRequest* request, ZuArray<Vertex>* corners, bool* has_uv,
            CookResult* result) {
  const u32 flags = aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_SortByPType |
                    aiProcess_FlipUVs | aiProcess_ValidateDataStructure;
  aiPropertyStore* properties = aiCreatePropertyStore();
  aiSetImportPropertyInteger(properties, AI_CONFIG_PP_SBP_REMOVE,
                             aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const char* ending = strrchr(request->path, '.');
  const aiScene* scene =
      ending && strcmp(ending, ".gltf") == 0
          ? aiImportFileExWithProperties(request->path, flags, nullptr, properties)
          : aiImportFileFromMemoryWithProperties((const char*)request->bytes, (u32)request->size,
                                                 flags, ending ? ending + 1 : "", properties);
  aiReleasePropertyStore(properties);
  if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
    // Read from memory, the file is "$$$___magic___$$$.<ending>" to Assimp.
    std::string error = aiGetErrorString();
    std::string::size_type magic = error.find("$$$___magic___$$$");
    if (magic != std::string::npos)
      error.replace(magic, strlen("$$$___magic___$$$") + (ending ? strlen(ending) : 0),
                    request->path);
    fail(result, request->path, "cannot be imported: ", error.c_str());
    if (scene) aiReleaseImport(scene);
    return false;
  }
  for (u32 m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* source = scene->mMeshes[m];
    if (!(source->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
    u64 base = corners->count;
    const aiVector3D* uv = source->mTextureCoords[0];
    *has_uv |= uv != nullptr;
    for (u32 f = 0; f < source->mNumFaces; ++f) {
      const aiFace* face = source->mFaces + f;
      if (face->mNumIndices != 3) continue;
      for (u32 i = 0; i < 3; ++i) {
        u32 v = face->mIndices[i];
        Vertex corner = {};
        memcpy(corner.position, &source->mVertices[v], sizeof(corner.position));
        if (source->mNormals) memcpy(corner.normal, &source->mNormals[v], sizeof(corner.normal));
        if (uv) {
          corner.uv[0] = uv[v].x;
          corner.uv[1] = uv[v].y;
        }
        zu_array_push(corners, corner);
      }
    }
    if (!source->mNormals)
      mesh_make_normals(corners->data + base, corners->count - base, kSmoothingDegrees);
  }
  aiReleaseImport(scene);
  if (corners->count == 0) {
    fail(result, request->path, "holds no triangles");
    return false;
  }
  return true;
}

// Corners that are alike become one vertex (hashed, exact).
void share_vertices(const ZuArray<Vertex>* corners, Mesh* mesh) {
  u64 count = corners->count;
  zu_array_resize(&mesh->indices, count);
  u64 unique = meshopt_generateVertexRemap(mesh->indices.data, nullptr, count, corners->data, count,
                                           sizeof(Vertex));
  zu_array_resize(&mesh->vertices, unique);
  meshopt_remapVertexBuffer(mesh->vertices.data, corners->data, count, sizeof(Vertex),
                            mesh->indices.data);
}

// Level 0 ordered for the vertex cache, then against overdraw; each
// further level simplified from the one before (a smaller input than level
// 0, at the cost of adding up the levels' errors against the budget),
// until simplifying stops removing any.
void build_lods(Mesh* mesh, const MeshSettings* settings) {
  const float* positions = mesh->vertices.data[0].position;
  u64 vertex_count = mesh->vertices.count, full = mesh->indices.count;
  u32* indices = mesh->indices.data;
  meshopt_optimizeVertexCache(indices, indices, full, vertex_count);
  meshopt_optimizeOverdraw(indices, indices, full, positions, vertex_count, sizeof(Vertex), 1.05f);
  mesh->lods[0] = {0, (u32)full, 0.0f};
  mesh->lod_count = 1;
  float scale = meshopt_simplifyScale(positions, vertex_count, sizeof(Vertex));
  ZuArray<u32> level = {};
  zu_array_resize(&level, full);
  float strayed = 0;  // relative to the size, as the budget
  for (u32 l = 1; l < settings->lod_count && strayed < settings->lod_error; ++l) {
    const TovMeshFileLod before = mesh->lods[mesh->lod_count - 1];
    u64 target = (u64)(before.index_count / 3 * settings->lod_ratio) * 3;
    float error = 0;
    u64 count = meshopt_simplify(level.data, mesh->indices.data + before.first_index,
                                 before.index_count, positions, vertex_count, sizeof(Vertex),
                                 target, settings->lod_error - strayed, 0, &error);
    if (count == 0 || count >= before.index_count) break;
    strayed += error;
    meshopt_optimizeVertexCache(level.data, level.data, count, vertex_count);
    mesh->lods[mesh->lod_count++] = {mesh->indices.count, (u32)count, strayed * scale};
    for (u64 i = 0; i < count; ++i) zu_array_push(&mesh->indices, level.data[i]);
  }
  zu_array_destroy(&level);
  // Vertices in the order the levels first use them.
  ZuArray<u32> remap = {};
  zu_array_resize(&remap, vertex_count);
  u64 used = meshopt_optimizeVertexFetchRemap(remap.data, mesh->indices.data, mesh->indices.count,
                                              vertex_count);
  meshopt_remapIndexBuffer(mesh->indices.data, mesh->indices.data, mesh->indices.count, remap.data);
  meshopt_remapVertexBuffer(mesh->vertices.data, mesh->vertices.data, vertex_count, sizeof(Vertex),
                            remap.data);
  zu_array_resize(&mesh->vertices, used);
  zu_array_destroy(&remap);
}

void write(const Mesh* mesh, bool quantize, ZuArray<u8>* out) {
  TovMeshFileHeader header = {};
  memcpy(header.magic, TOV_MESH_MAGIC, 4);
  header.version = TOV_MESH_VERSION;
  header.vertex_count = mesh->vertices.count;
  header.index_count = mesh->indices.count;
  header.index_size = mesh->vertices.count <= 65536 ? 2 : 4;
  TovMeshFileAttribute attributes[3] = {
      {TOV_MESH_POSITION, quantize ? TOV_VK_R16G16B16A16_SFLOAT : TOV_VK_R32G32B32_SFLOAT, 0},
      {TOV_MESH_NORMAL, quantize ? TOV_VK_R8G8B8A8_SNORM : TOV_VK_R32G32B32_SFLOAT,
       quantize ? 8u : 12u},
      {TOV_MESH_TEXCOORD, quantize ? TOV_VK_R16G16_SFLOAT : TOV_VK_R32G32_SFLOAT,
       quantize ? 12u : 24u}};
  header.attribute_count = mesh->has_uv ? 3 : 2;
  header.vertex_stride = quantize ? (mesh->has_uv ? 16 : 12) : (mesh->has_uv ? 32 : 24);
  header.lod_count = mesh->lod_count;
  for (u32 a = 0; a < 3; ++a) {
    header.bounds_min[a] = header.bounds_max[a] = mesh->vertices.data[0].position[a];
    for (u32 v = 1; v < mesh->vertices.count; ++v) {
      float x = mesh->vertices.data[v].position[a];
      header.bounds_min[a] = fminf(header.bounds_min[a], x);
      header.bounds_max[a] = fmaxf(header.bounds_max[a], x);
    }
    header.center[a] = (header.bounds_min[a] + header.bounds_max[a]) / 2;
  }
  for (u32 v = 0; v < mesh->vertices.count; ++v) {
    const float* p = mesh->vertices.data[v].position;
    float dx = p[0] - header.center[0], dy = p[1] - header.center[1], dz = p[2] - header.center[2];
    header.radius = fmaxf(header.radius, sqrtf(dx * dx + dy * dy + dz * dz));
  }
  header.attribute_offset = sizeof(header);
  header.lod_offset = header.attribute_offset + header.attribute_count * sizeof(attributes[0]);
  header.vertex_offset = header.lod_offset + header.lod_count * sizeof(TovMeshFileLod);
  header.index_offset = header.vertex_offset + header.vertex_count * header.vertex_stride;
  cook_put(out, header);
  for (u32 a = 0; a < header.attribute_count; ++a) cook_put(out, attributes[a]);
  for (u32 l = 0; l < mesh->lod_count; ++l) cook_put(out, mesh->lods[l]);
  for (u32 v = 0; v < mesh->vertices.count; ++v) {
    const Vertex* vertex = mesh->vertices.data + v;
    if (!quantize) {
      cook_put(out, vertex->position);
      cook_put(out, vertex->normal);
      if (mesh->has_uv) cook_put(out, vertex->uv);
      continue;
    }
    for (u32 a = 0; a < 3; ++a) cook_put(out, meshopt_quantizeHalf(vertex->position[a]));
    cook_put(out, meshopt_quantizeHalf(1.0f));
    for (u32 a = 0; a < 3; ++a) cook_put(out, (i8)meshopt_quantizeSnorm(vertex->normal[a], 8));
    cook_put(out, (i8)0);
    if (mesh->has_uv)
      for (u32 a = 0; a < 2; ++a) cook_put(out, meshopt_quantizeHalf(vertex->uv[a]));
  }
  for (u32 i = 0; i < mesh->indices.count; ++i) {
    if (header.index_size == 2)
      cook_put(out, (u16)mesh->indices.data[i]);
    else
      cook_put(out, mesh->indices.data[i]);
  }
}

void report(const char* path, const Mesh* mesh, ZuArray<char>* text) {
  char line[512];
  int at = snprintf(line, sizeof(line), "%s: %u triangles, %u vertices", path,
                    mesh->lods[0].index_count / 3, mesh->vertices.count);
  for (u32 l = 1; l < mesh->lod_count && at < (int)sizeof(line) - 32; ++l)
    at += snprintf(line + at, sizeof(line) - at, "%s%u", l == 1 ? "; levels " : ", ",
                   mesh->lods[l].index_count / 3);
  cook_add_text(text, line);
  cook_add_text(text, "\n");
}

}  // namespace

extern "C" {

ZU_EXPORT bool model_cook_mesh(const CookRequest* request, CookResult* result) {
  *result = {};
  meshopt_setAllocator(allocate, sys_free);
  MeshSettings settings;
  mesh_settings_init(&settings);
  Mesh mesh = {};
  ZuArray<Vertex> corners = {};
  bool ok = settings_read_files(request->settings, request->settings_count, &settings,
                                &result->messages, mesh_settings_read) &&
            import(request, &corners, &mesh.has_uv, result);
  if (ok) share_vertices(&corners, &mesh);
  zu_array_destroy(&corners);
  // Offsets in the file are 32-bit; the levels at most double the indices.
  if (ok &&
      (u64)mesh.vertices.count * sizeof(Vertex) + (u64)mesh.indices.count * 8 > 0xFFFF0000ull) {
    fail(result, request->path, "is too large for one mesh file (4 GB)");
    ok = false;
  }
  if (ok) {
    build_lods(&mesh, &settings);
    write(&mesh, settings.quantize, &result->output);
    report(request->path, &mesh, &result->report);
  }
  zu_array_destroy(&mesh.vertices);
  zu_array_destroy(&mesh.indices);
  return ok;
}

ZU_EXPORT void model_cook_release(CookResult* result) { cook_result_release(result); }
}
