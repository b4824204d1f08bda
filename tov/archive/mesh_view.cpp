// SPDX-License-Identifier: Zlib
// Viewing a cooked mesh in place. The header and tables are copied out (an
// archive keeps no alignment); the buffers are handed out as they lie.
#include <string.h>

#include "format.h"
#include "tov/tov_archive.h"
#include "tov_mesh.h"

namespace {

// The bytes a vertex of this format takes.
u32 format_bytes(u32 vk_format) {
  switch (vk_format) {
    case TOV_VK_R8G8B8A8_SNORM:
    case TOV_VK_R16G16_SFLOAT:
      return 4;
    case TOV_VK_R16G16B16A16_SFLOAT:
    case TOV_VK_R32G32_SFLOAT:
      return 8;
    case TOV_VK_R32G32B32_SFLOAT:
      return 12;
    default:
      return 0;
  }
}

}  // namespace

bool tov_mesh_view(const void* bytes, u64 size, TovMesh* out) {
  if (!bytes || size < sizeof(TovMeshFileHeader)) return false;
  const u8* file = (const u8*)bytes;
  TovMeshFileHeader header = archive_load<TovMeshFileHeader>(file, 0);
  if (memcmp(header.magic, TOV_MESH_MAGIC, 4) != 0 || header.version != TOV_MESH_VERSION ||
      header.attribute_count > TOV_MESH_MAX_ATTRIBUTES || header.lod_count == 0 ||
      header.lod_count > TOV_MESH_MAX_LODS || (header.index_size != 2 && header.index_size != 4) ||
      !archive_range_ok(size, header.attribute_offset,
                        header.attribute_count * sizeof(TovMeshFileAttribute)) ||
      !archive_range_ok(size, header.lod_offset, header.lod_count * sizeof(TovMeshFileLod)) ||
      !archive_range_ok(size, header.vertex_offset,
                        (u64)header.vertex_count * header.vertex_stride) ||
      !archive_range_ok(size, header.index_offset, (u64)header.index_count * header.index_size))
    return false;
  *out = {};
  for (u32 a = 0; a < header.attribute_count; ++a) {
    TovMeshFileAttribute attribute = archive_load<TovMeshFileAttribute>(
        file, header.attribute_offset + a * sizeof(TovMeshFileAttribute));
    u32 bytes_needed = format_bytes(attribute.vk_format);
    if (bytes_needed == 0 || (u64)attribute.offset + bytes_needed > header.vertex_stride)
      return false;
    out->attributes[a] = {attribute.semantic, attribute.vk_format, attribute.offset};
  }
  for (u32 l = 0; l < header.lod_count; ++l) {
    TovMeshFileLod lod =
        archive_load<TovMeshFileLod>(file, header.lod_offset + l * sizeof(TovMeshFileLod));
    if ((u64)lod.first_index + lod.index_count > header.index_count || lod.index_count % 3)
      return false;
    out->lods[l] = {lod.first_index, lod.index_count, lod.error};
  }
  out->vertex_count = header.vertex_count;
  out->vertex_stride = header.vertex_stride;
  out->attribute_count = header.attribute_count;
  out->index_count = header.index_count;
  out->index_size = header.index_size;
  out->lod_count = header.lod_count;
  memcpy(out->bounds_min, header.bounds_min, sizeof(out->bounds_min));
  memcpy(out->bounds_max, header.bounds_max, sizeof(out->bounds_max));
  memcpy(out->center, header.center, sizeof(out->center));
  out->radius = header.radius;
  out->vertices = file + header.vertex_offset;
  out->indices = file + header.index_offset;
  return true;
}
