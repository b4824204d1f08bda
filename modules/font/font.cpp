// SPDX-License-Identifier: Zlib
// The font module: TrueType and OpenType fonts are cooked into signed
// distance field atlases with metrics and kerning ("cook_font", output
// "<stem>.font", settings in ".font.toml" for a folder and "<name>.toml"
// beside the font, as ui.ttf.toml for ui.ttf); WOFF2 is packed as it is.
#include "cook_font.h"
#include "engine_module.h"

void engine_module_register(void) {
  if (g_tov.register_rule_invocation)
    g_tov.register_rule_invocation("cook_font", cook_font, 1, 0, 0, nullptr, 0);
  static const char* const kCooked[] = {".ttf", ".otf"};
  for (const char* ending : kCooked) {
    char settings[16];
    sys_snprintf(settings, sizeof(settings), "%s.toml", ending);
    engine_module_register_rule(ending, "cook_font", ".font", TOV_TYPE_FONT, settings,
                                ".font.toml");
  }
  static const char* const kPacked[] = {".woff2"};
  engine_module_register_rules(kPacked, "copy", TOV_TYPE_FONT);
}
