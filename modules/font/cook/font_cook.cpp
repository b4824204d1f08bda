// SPDX-License-Identifier: Zlib
// font_cook.x86_64: a TrueType or OpenType font becomes a distance-field
// atlas with metrics and kerning (sdk/include/tov_font.h), rendered by
// FreeType's own SDF renderer. Loaded by the cook_font command only.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include <stdio.h>
#include <string.h>

#include "cook_request.h"
#include "cook_settings.h"
#include "cook_text.h"
#include "font_settings.h"
#include "tov_font.h"

namespace {

struct Glyph {
  TovFontFileGlyph record;
  ZuArray<i8> distances;  // width x height, the file's sign and scale
};

void fail(CookResult* result, const char* path, const char* what, const char* detail) {
  char line[512];
  snprintf(line, sizeof(line), "%s: %s%s\n", path, what, detail);
  cook_add_text(&result->messages, line);
}

// FreeType's field is 0..255 with the outline at 128 and the inside above
// it; the file's is signed, negative inside.
i8 to_distance(u8 value) {
  int distance = 128 - (int)value;
  return (i8)(distance > 127 ? 127 : distance);
}

bool render(FT_Face face, u32 code_point, Glyph* glyph) {
  FT_UInt index = FT_Get_Char_Index(face, code_point);
  if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_DEFAULT)) return false;
  FT_GlyphSlot slot = face->glyph;
  glyph->record = {};
  glyph->record.code_point = code_point;
  glyph->record.advance = (i32)slot->advance.x;
  // A blank (the space) has no outline to measure from.
  if (slot->outline.n_points == 0) return true;
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_SDF)) return false;
  const FT_Bitmap* bitmap = &slot->bitmap;
  glyph->record.width = (u16)bitmap->width;
  glyph->record.height = (u16)bitmap->rows;
  glyph->record.bearing_x = (i16)slot->bitmap_left;
  glyph->record.bearing_y = (i16)slot->bitmap_top;
  zu_array_resize(&glyph->distances, (u64)bitmap->width * bitmap->rows);
  for (u32 y = 0; y < bitmap->rows; ++y)
    for (u32 x = 0; x < bitmap->width; ++x)
      glyph->distances.data[(u64)y * bitmap->width + x] =
          to_distance(bitmap->buffer[(i64)y * bitmap->pitch + x]);
  return true;
}

// Shelves: glyphs tallest first, left to right, a new shelf when a row is
// full; the atlas is as wide as the square root of their area asks.
void pack(ZuArray<Glyph>* glyphs, u32* atlas_width, u32* atlas_height) {
  u64 area = 0;
  u32 widest = 1;
  ZuArray<u32> order = {};
  for (u32 i = 0; i < glyphs->count; ++i) {
    const TovFontFileGlyph* r = &glyphs->data[i].record;
    area += (u64)(r->width + 1) * (r->height + 1);
    if (r->width + 1u > widest) widest = r->width + 1u;
    zu_array_push(&order, i);
  }
  u32 width = 64;
  while ((u64)width * width < area + area / 8 || width < widest) width *= 2;
  // Tallest first (insertion sort: a few hundred glyphs).
  for (u32 i = 1; i < order.count; ++i)
    for (u32 k = i; k > 0 && glyphs->data[order.data[k]].record.height >
                                 glyphs->data[order.data[k - 1]].record.height;
         --k) {
      u32 swap = order.data[k];
      order.data[k] = order.data[k - 1];
      order.data[k - 1] = swap;
    }
  u32 x = 0, y = 0, shelf = 0;
  for (u32 i = 0; i < order.count; ++i) {
    TovFontFileGlyph* r = &glyphs->data[order.data[i]].record;
    if (r->width == 0) continue;
    if (x + r->width > width) {
      x = 0;
      y += shelf + 1;
      shelf = 0;
    }
    r->x = (u16)x;
    r->y = (u16)y;
    x += r->width + 1u;
    if (r->height > shelf) shelf = r->height;
  }
  *atlas_width = width;
  *atlas_height = y + shelf;
  if (*atlas_height == 0) *atlas_height = 1;
  zu_array_destroy(&order);
}

bool cook(FT_Library library, const CookRequest* request, const FontSettings* settings,
          CookResult* result) {
  FT_Face face;
  if (FT_New_Memory_Face(library, request->bytes, (FT_Long)request->size, 0, &face)) {
    fail(result, request->path, "is not a font FreeType reads", "");
    return false;
  }
  bool ok = FT_IS_SCALABLE(face) && !FT_Set_Pixel_Sizes(face, 0, settings->size);
  if (!ok) fail(result, request->path, "has no outlines to render", "");
  ZuArray<Glyph> glyphs = {};
  for (u32 r = 0; ok && r < settings->characters.count; ++r) {
    const CharacterRange range = settings->characters.data[r];
    for (u32 code = range.first; ok && code <= range.last; ++code) {
      bool seen = false;
      for (u32 g = 0; g < glyphs.count && !seen; ++g)
        seen = glyphs.data[g].record.code_point == code;
      if (seen) continue;
      Glyph glyph = {};
      if (render(face, code, &glyph)) {
        zu_array_push(&glyphs, glyph);
      } else if (settings->characters_given) {
        // Asked for by name, a missing character is an error; the default
        // set takes what the font has.
        char detail[32];
        snprintf(detail, sizeof(detail), "U+%04X", code);
        fail(result, request->path, "has no glyph for ", detail);
        zu_array_destroy(&glyph.distances);
        ok = false;
      }
    }
  }
  // By code point, for the runtime's binary search.
  for (u32 i = 1; ok && i < glyphs.count; ++i)
    for (u32 k = i;
         k > 0 && glyphs.data[k].record.code_point < glyphs.data[k - 1].record.code_point; --k) {
      Glyph swap = glyphs.data[k];
      glyphs.data[k] = glyphs.data[k - 1];
      glyphs.data[k - 1] = swap;
    }
  if (ok) {
    u32 width, height;
    pack(&glyphs, &width, &height);
    ZuArray<TovFontFileKerning> kerning = {};
    if (FT_HAS_KERNING(face)) {
      ZuArray<FT_UInt> indices = {};
      for (u32 i = 0; i < glyphs.count; ++i)
        zu_array_push(&indices, FT_Get_Char_Index(face, glyphs.data[i].record.code_point));
      for (u32 a = 0; a < glyphs.count; ++a) {
        for (u32 b = 0; b < glyphs.count; ++b) {
          FT_Vector delta;
          if (!FT_Get_Kerning(face, indices.data[a], indices.data[b], FT_KERNING_UNFITTED,
                              &delta) &&
              delta.x)
            zu_array_push(&kerning,
                          TovFontFileKerning{glyphs.data[a].record.code_point,
                                             glyphs.data[b].record.code_point, (i32)delta.x});
        }
      }
      zu_array_destroy(&indices);
    }
    TovFontFileHeader header = {};
    memcpy(header.magic, TOV_FONT_MAGIC, 4);
    header.version = TOV_FONT_VERSION;
    header.pixel_size = settings->size;
    header.spread = settings->spread;
    header.atlas_width = width;
    header.atlas_height = height;
    header.ascender = (i32)face->size->metrics.ascender;
    header.descender = (i32)face->size->metrics.descender;
    header.line_height = (i32)face->size->metrics.height;
    header.glyph_count = glyphs.count;
    header.glyph_offset = sizeof(TovFontFileHeader);
    header.kerning_count = kerning.count;
    header.kerning_offset = header.glyph_offset + glyphs.count * (u32)sizeof(TovFontFileGlyph);
    header.atlas_offset = header.kerning_offset + kerning.count * (u32)sizeof(TovFontFileKerning);
    cook_put(&result->output, header);
    for (u32 i = 0; i < glyphs.count; ++i) cook_put(&result->output, glyphs.data[i].record);
    for (u32 i = 0; i < kerning.count; ++i) cook_put(&result->output, kerning.data[i]);
    u64 atlas = result->output.count;
    zu_array_resize(&result->output, atlas + (u64)width * height);
    memset(result->output.data + atlas, 127, (u64)width * height);  // far outside
    for (u32 i = 0; i < glyphs.count; ++i) {
      const Glyph* glyph = glyphs.data + i;
      for (u32 y = 0; y < glyph->record.height; ++y)
        memcpy(result->output.data + atlas + (u64)(glyph->record.y + y) * width + glyph->record.x,
               glyph->distances.data + (u64)y * glyph->record.width, glyph->record.width);
    }
    zu_array_destroy(&kerning);
  }
  for (u32 i = 0; i < glyphs.count; ++i) zu_array_destroy(&glyphs.data[i].distances);
  zu_array_destroy(&glyphs);
  FT_Done_Face(face);
  return ok;
}

}  // namespace

extern "C" {

ZU_EXPORT bool font_cook_font(const CookRequest* request, CookResult* result) {
  *result = {};
  FontSettings settings;
  font_settings_init(&settings);
  bool ok = settings_read_files(request->settings, request->settings_count, &settings,
                                &result->messages, font_settings_read);
  FT_Library library = nullptr;
  if (ok && FT_Init_FreeType(&library)) {
    fail(result, request->path, "cannot be read: FreeType does not start", "");
    ok = false;
  }
  if (ok) {
    FT_Int spread = (FT_Int)settings.spread;
    FT_Property_Set(library, "sdf", "spread", &spread);
    ok = cook(library, request, &settings, result);
  }
  if (library) FT_Done_FreeType(library);
  font_settings_destroy(&settings);
  return ok;
}

ZU_EXPORT void font_cook_release(CookResult* result) { cook_result_release(result); }
}
