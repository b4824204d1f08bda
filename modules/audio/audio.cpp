// SPDX-License-Identifier: Zlib
// The audio module: sounds, packed as they are.
#include "engine_module.h"

void engine_module_register(void) {
  static const char* const kEndings[] = {".wav", ".ogg", ".flac", ".mp3", ".opus"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_AUDIO);
}
