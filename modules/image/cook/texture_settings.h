// SPDX-License-Identifier: Zlib
// A texture's settings file ("<name>.png.toml" beside it, for example).
#pragma once

#include "encode.h"

struct TextureSettings {
  bool format_given, space_given;
  EncodeSettings encode;
  u32 mips;      // levels kept; 0: the full chain down to 1x1
  u32 max_size;  // longest side of level 0; 0: as the source
};

void texture_settings_init(TextureSettings* settings);

// Reads text (the file at path) over the defaults; false with a
// "path:line: message" line in messages on a TOML error, an unknown key or
// a bad value.
bool texture_settings_read(const char* path, const char* text, u64 size, TextureSettings* settings,
                           ZuArray<char>* messages);
