/* SPDX-License-Identifier: Zlib
 *
 * What a cooked mesh holds. The model module turns .obj, .gltf, .glb and
 * .fbx sources into "<stem>.mesh": every triangle of the scene, placed by
 * its node transforms, in one vertex buffer and one index buffer, with a
 * chain of levels of detail, ready for a GPU upload without parsing.
 * Indices are ordered for the vertex cache and against overdraw, vertices
 * in the order the indices first use them (meshoptimizer).
 *
 * The file, all integers and floats little-endian, every record 4-byte
 * aligned from the start of the file:
 *
 *     TovMeshFileHeader
 *     attribute_count TovMeshFileAttribute: the vertex format
 *     lod_count       TovMeshFileLod: level 0 is the full mesh, each later
 *                     level has fewer triangles than the one before
 *     vertex_count * vertex_stride bytes of vertices, at vertex_offset
 *     index_count indices of index_size bytes (2 or 4), at index_offset;
 *       each level's triangles are a range of them, all into the one
 *       vertex buffer
 *
 * Attributes carry their Vulkan format: positions are R32G32B32_SFLOAT, or
 * R16G16B16A16_SFLOAT when quantised (w is 1); normals R32G32B32_SFLOAT,
 * or R8G8B8A8_SNORM when quantised; texture coordinates R32G32_SFLOAT, or
 * R16G16_SFLOAT when quantised, with (0, 0) at the image's top left.
 * Positions and bounds are in the source's units.
 */
#ifndef TOV_MESH_H
#define TOV_MESH_H

#include <stdint.h>

#define TOV_MESH_MAGIC "TOVM"
#define TOV_MESH_VERSION 1u
#define TOV_MESH_MAX_ATTRIBUTES 4
#define TOV_MESH_MAX_LODS 8

enum {
  TOV_MESH_POSITION = 0,
  TOV_MESH_NORMAL = 1,
  TOV_MESH_TEXCOORD = 2,
  /* Vulkan formats the tool writes */
  TOV_VK_R8G8B8A8_SNORM = 38,
  TOV_VK_R16G16_SFLOAT = 83,
  TOV_VK_R16G16B16A16_SFLOAT = 97,
  TOV_VK_R32G32_SFLOAT = 103,
  TOV_VK_R32G32B32_SFLOAT = 106
};

typedef struct TovMeshFileHeader {
  char magic[4];    /* "TOVM" */
  uint32_t version; /* 1 */
  uint32_t vertex_count;
  uint32_t vertex_stride; /* bytes */
  uint32_t index_count;   /* of all levels */
  uint32_t index_size;    /* 2 or 4 */
  uint32_t attribute_count;
  uint32_t lod_count;
  float bounds_min[3], bounds_max[3];
  float center[3], radius; /* a sphere around every vertex */
  uint32_t attribute_offset;
  uint32_t lod_offset;
  uint32_t vertex_offset;
  uint32_t index_offset;
} TovMeshFileHeader;

typedef struct TovMeshFileAttribute {
  uint32_t semantic;  /* TOV_MESH_POSITION, _NORMAL or _TEXCOORD */
  uint32_t vk_format;
  uint32_t offset; /* bytes into a vertex */
} TovMeshFileAttribute;

typedef struct TovMeshFileLod {
  uint32_t first_index;
  uint32_t index_count; /* three per triangle */
  float error;          /* how far the level strays from level 0, in the source's units */
} TovMeshFileLod;

#endif
