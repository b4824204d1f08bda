// SPDX-License-Identifier: Zlib
// Entity data in JSON: checked against the JSON grammar and stored without
// the whitespace between tokens.
#pragma once

#include "zu_array.h"

struct JsonError {
  u32 line;    // from 1
  u32 column;  // from 1, in bytes
  const char* message;
};

// Appends the minified text of [text, text + size) to out. False, with the
// position and kind of the first fault in error, when the text is no JSON.
bool json_minify(const char* text, u64 size, ZuArray<char>* out, JsonError* error);
