// SPDX-License-Identifier: Zlib
// A font's settings file (".font.toml" for a folder, "<name>.toml" beside
// the font, as ui.ttf.toml).
#pragma once

#include "zu_array.h"

struct CharacterRange {
  u32 first, last;
};

struct FontSettings {
  u32 size;    // pixels per em
  u32 spread;  // pixels of distance the field covers each side of the outline
  bool characters_given;
  ZuArray<CharacterRange> characters;  // code points, in the order given
};

// The defaults: 32 pixels, spread 8, printable ASCII and Latin-1.
void font_settings_init(FontSettings* settings);
void font_settings_destroy(FontSettings* settings);

// Reads text (the file at path) over the settings so far; false with a
// "path:line: message" line in messages on a TOML error, an unknown key or
// a bad value.
bool font_settings_read(const char* path, const char* text, u64 size, FontSettings* settings,
                        ZuArray<char>* messages);
