/* SPDX-License-Identifier: Zlib */
/* Lists what a .tov archive holds, the way a game reaches its files: check
 * each archive, load them into a set, index the root directory for every
 * type, and read a string table in place.
 *
 *     list_archive game.tov [more.tov ...]
 */
#include <stdio.h>
#include <stdlib.h>

#include "tov/tov_archive.h"

/* The VkFormats the tool writes, by name. */
static const char* format_name(uint32_t vk_format) {
  static const char* const astc[] = {"4x4", "5x4", "5x5", "6x5", "6x6", "8x5", "8x6", "8x8"};
  static char name[32];
  switch (vk_format) {
    case 37: return "RGBA8";
    case 43: return "RGBA8 sRGB";
    case 131: return "BC1";
    case 132: return "BC1 sRGB";
    case 137: return "BC3";
    case 138: return "BC3 sRGB";
    case 139: return "BC4";
    case 141: return "BC5";
    default: break;
  }
  if (vk_format >= 157 && vk_format <= 172) {
    snprintf(name, sizeof(name), "ASTC %s%s", astc[(vk_format - 157) / 2],
             (vk_format - 157) % 2 ? " sRGB" : "");
    return name;
  }
  snprintf(name, sizeof(name), "VkFormat %u", (unsigned)vk_format);
  return name;
}

/* An archive this program did not build may be damaged or hostile: it is
 * checked whole before the set trusts it, and so is the overlay of a
 * development archive, which the set reads with it ("<path>.overlay"). */
static int file_is_sound(const char* path, int optional) {
  FILE* file = fopen(path, "rb");
  if (!file) {
    if (optional) return 1;
    fprintf(stderr, "%s: cannot be read\n", path);
    return 0;
  }
  fseek(file, 0, SEEK_END);
  long size = ftell(file);
  fseek(file, 0, SEEK_SET);
  char* bytes = (char*)malloc(size > 0 ? (size_t)size : 1);
  size_t read = fread(bytes, 1, size > 0 ? (size_t)size : 0, file);
  fclose(file);
  char message[256];
  int sound = size >= 0 && read == (size_t)size &&
              tov_archive_verify(bytes, (uint64_t)read, 0, message, sizeof(message));
  if (!sound) fprintf(stderr, "%s: damaged: %s\n", path, read == (size_t)size ? message : "short read");
  free(bytes);
  return sound;
}

static int archive_is_sound(const char* path) {
  char overlay[4096];
  snprintf(overlay, sizeof(overlay), "%s.overlay", path);
  return file_is_sound(path, 0) && file_is_sound(overlay, 1);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s ARCHIVE.tov [ARCHIVE.tov ...]\n", argv[0]);
    return 2;
  }
  for (int i = 1; i < argc; ++i)
    if (!archive_is_sound(argv[i])) return 1;
  TovArchiveSetDesc desc = {(const char* const*)(argv + 1), (uint64_t)(argc - 1)};
  TovArchiveSet* set = tov_archive_create(&desc);
  if (!set) {
    fprintf(stderr, "cannot open the archives given\n");
    return 1;
  }
  /* Count first, then fetch: nothing is allocated by the library. */
  uint64_t count = tov_archive_index_directory(set, "", 0, NULL, 0);
  TovFileInfo* files = (TovFileInfo*)malloc((count ? count : 1) * sizeof(TovFileInfo));
  count = tov_archive_index_directory(set, "", 0, files, count);
  printf("%-48s %5s %10s\n", "name", "type", "size");
  for (uint64_t i = 0; i < count; ++i)
    printf("%-48s %5u %10llu\n", files[i].name, (unsigned)files[i].type,
           (unsigned long long)files[i].size);
  printf("%llu files\n", (unsigned long long)count);

  for (uint64_t i = 0; i < count; ++i) {
    TovStringTable table;
    if (!tov_access_stringtable(&files[i], &table)) continue;
    printf("string table %s: %llu strings", files[i].name, (unsigned long long)table.count);
    if (table.count > 0) printf(", first \"%s\"", table.text + table.offsets[0]);
    printf("\n");
  }

  /* Cooked textures are viewed in place: each mip level is ready for the
   * GPU (its VkFormat in sdk/include/tov_texture.h). */
  for (uint64_t i = 0; i < count; ++i) {
    TovTexture texture;
    if (files[i].type != TOV_TYPE_IMAGE || !tov_texture_view(files[i].data, files[i].size, &texture))
      continue;
    printf("texture %s: %s, %ux%u, %u levels, %llu bytes\n", files[i].name,
           format_name(texture.vk_format), texture.width, texture.height, texture.level_count,
           (unsigned long long)files[i].size);
  }
  /* Cooked fonts: a distance-field atlas, glyphs by code point, kerning. */
  for (uint64_t i = 0; i < count; ++i) {
    TovFont font;
    TovFontGlyph a;
    if (files[i].type != TOV_TYPE_FONT || !tov_font_view(files[i].data, files[i].size, &font))
      continue;
    printf("font %s: %u px, %u glyphs, %u kerning pairs, %ux%u atlas", files[i].name,
           font.pixel_size, font.glyph_count, font.kerning_count, font.atlas_width,
           font.atlas_height);
    if (tov_font_glyph(&font, 'A', &a))
      printf(", 'A' advance %.2f px, A-V kerning %.2f px", a.advance / 64.0,
             tov_font_kerning(&font, 'A', 'V') / 64.0);
    printf("\n");
  }
  /* Cooked sounds: Ogg Opus for a decoder, or PCM to play as it is. */
  for (uint64_t i = 0; i < count; ++i) {
    TovSound sound;
    if (files[i].type != TOV_TYPE_AUDIO || !tov_sound_view(files[i].data, files[i].size, &sound))
      continue;
    printf("sound %s: %s, %u channel%s, %u Hz, %.3f s, %llu bytes\n", files[i].name,
           sound.codec == TOV_SOUND_OPUS ? "Opus" : "16-bit PCM", sound.channels,
           sound.channels == 1 ? "" : "s", sound.sample_rate,
           (double)sound.frame_count / sound.sample_rate, (unsigned long long)sound.size);
  }
  /* Cooked meshes: buffers to upload as they are, levels of detail. */
  for (uint64_t i = 0; i < count; ++i) {
    TovMesh mesh;
    if (files[i].type != TOV_TYPE_MODEL || !tov_mesh_view(files[i].data, files[i].size, &mesh))
      continue;
    printf("mesh %s: %u vertices of %u bytes, %u-bit indices, radius %.2f, triangles by level",
           files[i].name, mesh.vertex_count, mesh.vertex_stride, mesh.index_size * 8, mesh.radius);
    for (uint32_t l = 0; l < mesh.lod_count; ++l)
      printf(" %u", mesh.lods[l].index_count / 3);
    printf("\n");
  }
  free(files);
  tov_archive_destroy(set);
  return 0;
}
