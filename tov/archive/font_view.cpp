// SPDX-License-Identifier: Zlib
// Viewing a cooked font in place. The tables may sit at any alignment inside
// an archive, so their records are copied out one by one, never cast.
#include <string.h>

#include "format.h"
#include "tov/tov_archive.h"
#include "tov_font.h"

namespace {

template <class T>
T record(const void* table, u64 index) {
  return archive_load<T>(table, index * sizeof(T));
}

// Whether count records of size bytes fit at offset in a file of size bytes
// (count is a u32 and records are small: the product cannot overflow).
bool fits(u64 offset, u64 count, u64 record_size, u64 size) {
  return archive_range_ok(size, offset, count * record_size);
}

}  // namespace

bool tov_font_view(const void* bytes, u64 size, TovFont* out) {
  if (!bytes || size < sizeof(TovFontFileHeader)) return false;
  TovFontFileHeader header = record<TovFontFileHeader>(bytes, 0);
  u64 texels = (u64)header.atlas_width * header.atlas_height;
  if (memcmp(header.magic, TOV_FONT_MAGIC, 4) != 0 || header.version != TOV_FONT_VERSION ||
      !fits(header.glyph_offset, header.glyph_count, sizeof(TovFontFileGlyph), size) ||
      !fits(header.kerning_offset, header.kerning_count, sizeof(TovFontFileKerning), size) ||
      !fits(header.atlas_offset, texels, 1, size))
    return false;
  const u8* file = (const u8*)bytes;
  for (u32 i = 0; i < header.glyph_count; ++i) {
    TovFontFileGlyph glyph = record<TovFontFileGlyph>(file + header.glyph_offset, i);
    if ((u32)glyph.x + glyph.width > header.atlas_width ||
        (u32)glyph.y + glyph.height > header.atlas_height)
      return false;
  }
  *out = {header.pixel_size,
          header.spread,
          header.atlas_width,
          header.atlas_height,
          header.ascender,
          header.descender,
          header.line_height,
          header.glyph_count,
          header.kerning_count,
          file + header.glyph_offset,
          file + header.kerning_offset,
          (const int8_t*)(file + header.atlas_offset)};
  return true;
}

bool tov_font_glyph(const TovFont* font, u32 code_point, TovFontGlyph* out) {
  u64 low = 0, high = font->glyph_count;
  while (low < high) {
    u64 mid = low + (high - low) / 2;
    TovFontFileGlyph glyph = record<TovFontFileGlyph>(font->glyphs, mid);
    if (glyph.code_point == code_point) {
      static_assert(sizeof(TovFontGlyph) == sizeof(TovFontFileGlyph), "the same record");
      memcpy(out, &glyph, sizeof(glyph));
      return true;
    }
    if (glyph.code_point < code_point)
      low = mid + 1;
    else
      high = mid;
  }
  return false;
}

i32 tov_font_kerning(const TovFont* font, u32 left, u32 right) {
  u64 key = (u64)left << 32 | right;
  u64 low = 0, high = font->kerning_count;
  while (low < high) {
    u64 mid = low + (high - low) / 2;
    TovFontFileKerning pair = record<TovFontFileKerning>(font->kerning, mid);
    u64 at = (u64)pair.left << 32 | pair.right;
    if (at == key) return pair.x;
    if (at < key)
      low = mid + 1;
    else
      high = mid;
  }
  return 0;
}
