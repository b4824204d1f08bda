// SPDX-License-Identifier: Zlib
// The font module: TrueType and OpenType fonts are cooked into signed
// distance field atlases with metrics and kerning ("cook_font", output
// "<stem>.font", settings in ".font.toml" for a folder and "<name>.toml"
// beside the font, as ui.ttf.toml for ui.ttf); WOFF2 is packed as it is.
// FreeType lives in font_cook.x86_64, loaded only when a font cooks.
#include "engine_module.h"

namespace {

u32 cook_font(CommandContext* context) {
  return engine_module_cook(context, "cook_font", "font", "font_cook", "font_cook_font",
                            "font_cook_release");
}

}  // namespace

void engine_module_register(void) {
  static const char* const kCooked[] = {".ttf", ".otf"};
  engine_module_register_cooking("cook_font", cook_font, kCooked, ".font", TOV_TYPE_FONT,
                                 ".font.toml");
  static const char* const kPacked[] = {".woff2"};
  engine_module_register_rules(kPacked, "copy", TOV_TYPE_FONT);
}
