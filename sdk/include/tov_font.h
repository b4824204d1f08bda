/* SPDX-License-Identifier: Zlib
 *
 * What a cooked font holds. The font module turns .ttf and .otf sources
 * into "<stem>.font": the glyphs of a character set rendered by FreeType's
 * signed-distance-field renderer into one atlas, with their metrics and the
 * font's kerning pairs. A game reads it in place with tov_font_view,
 * tov_font_glyph and tov_font_kerning (tov/tov_archive.h).
 *
 * The file, all integers little-endian, every record 4-byte aligned from
 * the start of the file:
 *
 *     TovFontFileHeader
 *     glyph_count   TovFontFileGlyph, sorted by code point
 *     kerning_count TovFontFileKerning, sorted by left, then right
 *     atlas_width * atlas_height signed bytes, row by row: the distance of
 *       each texel's centre to the outline, negative inside a glyph and
 *       positive outside, scaled so that 127 is spread pixels (a shader
 *       takes the edge at 0)
 *
 * Metrics are in 26.6 fixed point (1/64 pixel) at pixel_size; a glyph's
 * bitmap is drawn with its top-left corner at the pen position plus
 * (bearing_x, -bearing_y) whole pixels, and the pen then moves by advance
 * plus the kerning of the pair.
 */
#ifndef TOV_FONT_H
#define TOV_FONT_H

#include <stdint.h>

#define TOV_FONT_MAGIC "TOVF"
#define TOV_FONT_VERSION 1u

typedef struct TovFontFileHeader {
  char magic[4];    /* "TOVF" */
  uint32_t version; /* 1 */
  uint32_t pixel_size;
  uint32_t spread; /* pixels that a distance of 127 stands for */
  uint32_t atlas_width;
  uint32_t atlas_height;
  int32_t ascender; /* 26.6, above the baseline */
  int32_t descender; /* 26.6, negative below it */
  int32_t line_height; /* 26.6, baseline to baseline */
  uint32_t glyph_count;
  uint32_t glyph_offset;
  uint32_t kerning_count;
  uint32_t kerning_offset;
  uint32_t atlas_offset;
} TovFontFileHeader;

typedef struct TovFontFileGlyph {
  uint32_t code_point;
  uint16_t x, y, width, height; /* its rectangle in the atlas; 0 x 0 for a blank */
  int16_t bearing_x, bearing_y; /* whole pixels */
  int32_t advance;              /* 26.6 */
} TovFontFileGlyph;

typedef struct TovFontFileKerning {
  uint32_t left, right; /* code points */
  int32_t x;            /* 26.6, added to the left glyph's advance */
} TovFontFileKerning;

#endif
