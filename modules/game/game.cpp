// SPDX-License-Identifier: Zlib
// The game module: game data files, and game data written in C (compiled
// and run by the cxx command like .data.cpp).
#include "engine_module.h"

void engine_module_register(void) {
  static const char* const kEndings[] = {".csv", ".txt", ".ini", ".cfg"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_GAME);
  engine_module_register_rule(".data.c", "cxx", ".bin", TOV_TYPE_DATA);
}
