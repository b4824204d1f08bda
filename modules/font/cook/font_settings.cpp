// SPDX-License-Identifier: Zlib
// Font settings in TOML; every key is optional and checked:
//
//     size = 32                     # pixels per em, 8 to 256
//     spread = 8                    # distance field reach in pixels, 2 to 32
//     characters = ["32-126", "160-255", "€"]   # ranges of code points, or
//                                   # the characters themselves
#include "font_settings.h"

#include <stdio.h>

#include "cook_settings.h"

namespace {

// One UTF-8 character of text from at; 0 when the bytes are not one.
u32 decode_utf8(const std::string& text, u64* at) {
  u8 lead = (u8)text[*at];
  u32 count = lead < 0x80         ? 1
              : (lead >> 5) == 6  ? 2
              : (lead >> 4) == 14 ? 3
              : (lead >> 3) == 30 ? 4
                                  : 0;
  if (count == 0 || *at + count > text.size()) return 0;
  u32 code = count == 1 ? lead : lead & (0x7F >> count);
  for (u32 i = 1; i < count; ++i) code = code << 6 | ((u8)text[*at + i] & 0x3F);
  *at += count;
  return code;
}

// "32-126" is a range of code points; anything else is the characters
// themselves, each its own range.
bool read_characters(const toml::array& items, FontSettings* settings, const char* path,
                     ZuArray<char>* messages) {
  zu_array_clear(&settings->characters);
  for (const toml::node& item : items) {
    const toml::value<std::string>* text = item.as_string();
    u32 line = item.source().begin.line;
    if (!text || text->get().empty())
      return settings_fail(messages, path, line, "'characters' holds texts such as \"32-126\"");
    const std::string& value = text->get();
    unsigned first, last;
    char end;
    if (sscanf(value.c_str(), "%u-%u%c", &first, &last, &end) == 2) {
      if (first > last || last > 0x10FFFF)
        return settings_fail(messages, path, line, "'" + value + "' is no range of code points");
      zu_array_push(&settings->characters, CharacterRange{first, last});
      continue;
    }
    for (u64 at = 0; at < value.size();) {
      u32 code = decode_utf8(value, &at);
      if (code == 0) return settings_fail(messages, path, line, "'" + value + "' is not UTF-8");
      zu_array_push(&settings->characters, CharacterRange{code, code});
    }
  }
  settings->characters_given = true;
  return true;
}

}  // namespace

void font_settings_init(FontSettings* settings) {
  *settings = {};
  settings->size = 32;
  settings->spread = 8;
  zu_array_push(&settings->characters, CharacterRange{32, 126});
  zu_array_push(&settings->characters, CharacterRange{160, 255});
}

void font_settings_destroy(FontSettings* settings) { zu_array_destroy(&settings->characters); }

bool font_settings_read(const char* path, const char* text, u64 size, FontSettings* settings,
                        ZuArray<char>* messages) {
  return settings_read_keys(
      path, text, size, messages,
      [&](const std::string& name, const toml::key& key, const toml::node& node) {
        i64 number = 0;
        bool ok;
        if (name == "size") {
          ok = settings_number(node, "size", 8, 256, &number, path, messages);
          settings->size = (u32)number;
        } else if (name == "spread") {
          ok = settings_number(node, "spread", 2, 32, &number, path, messages);
          settings->spread = (u32)number;
        } else if (name == "characters") {
          ok = node.as_array()
                   ? read_characters(*node.as_array(), settings, path, messages)
                   : settings_fail(messages, path, key.source().begin.line,
                                   "'characters' must be a list such as [\"32-126\", \"€\"]");
        } else {
          ok =
              settings_fail(messages, path, key.source().begin.line,
                            "unknown setting '" + name + "' (fonts know size, spread, characters)");
        }
        return ok;
      });
}
