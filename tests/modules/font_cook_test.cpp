// SPDX-License-Identifier: Zlib
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>

#include "cooked.h"
#include "test_support.h"
#include "tov/tov_archive.h"

extern "C" bool font_cook_font(const CookRequest* request, CookResult* result);

// Every requested glyph is in the atlas, its field negative inside and
// positive outside; the kerning is FreeType's, pair for pair.
TEST(FontCook, AtlasGlyphsDistancesAndKerning) {
  std::string bytes = read_file(kExampleFont);
  Cooked cooked;
  cook_source(font_cook_font, "ui.ttf", bytes,
              "size = 40\nspread = 6\ncharacters = [\"32-126\", \"é\"]\n", &cooked);
  ASSERT_TRUE(cooked.ok) << cooked.messages();
  TovFont font;
  ASSERT_TRUE(tov_font_view(cooked.result.output.data, cooked.result.output.count, &font));
  EXPECT_EQ(font.pixel_size, 40u);
  EXPECT_EQ(font.glyph_count, 96u);
  for (u32 code = 32; code <= 126; ++code) {
    TovFontGlyph glyph;
    ASSERT_TRUE(tov_font_glyph(&font, code, &glyph)) << code;
    EXPECT_GT(glyph.advance, 0) << code;
  }
  TovFontGlyph glyph;
  EXPECT_TRUE(tov_font_glyph(&font, 0xE9, &glyph));
  EXPECT_FALSE(tov_font_glyph(&font, 0xE8, &glyph));  // not asked for
  // 'I' is a bar: its middle inside, the rectangle's corner outside.
  ASSERT_TRUE(tov_font_glyph(&font, 'I', &glyph));
  auto at = [&](u32 x, u32 y) {
    return font.atlas[(u64)(glyph.y + y) * font.atlas_width + glyph.x + x];
  };
  EXPECT_LT(at(glyph.width / 2, glyph.height / 2), 0);
  EXPECT_GT(at(0, 0), 0);

  FT_Library library;
  FT_Face face;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(
      FT_New_Memory_Face(library, (const FT_Byte*)bytes.data(), (FT_Long)bytes.size(), 0, &face),
      0);
  FT_Set_Pixel_Sizes(face, 0, 40);
  u32 pairs = 0;
  for (u32 left = 32; left <= 126; ++left) {
    for (u32 right = 32; right <= 126; ++right) {
      FT_Vector delta;
      FT_Get_Kerning(face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right),
                     FT_KERNING_UNFITTED, &delta);
      EXPECT_EQ(tov_font_kerning(&font, left, right), (i32)delta.x) << left << " " << right;
      pairs += delta.x != 0;
    }
  }
  EXPECT_GT(pairs, 100u);  // the font has kerning to compare
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  // A file cut short is no font.
  EXPECT_FALSE(tov_font_view(cooked.result.output.data, cooked.result.output.count - 1, &font));
}
