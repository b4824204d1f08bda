// The game module: game data files, and game data written in C (compiled
// and run by the cxx command like .data.cpp).
#include "engine_module.h"

extern "C" {

ZU_EXPORT void initialize_pointers_tov(ZuShared* tov) { engine_module_link(tov); }

ZU_EXPORT void zu_init(void* state, u8 reloaded, const char* const** deps) {
  (void)state;
  (void)reloaded;
  (void)deps;
  static const char* const kEndings[] = {".csv", ".txt", ".ini", ".cfg"};
  engine_module_register_rules(kEndings, sizeof(kEndings) / sizeof(kEndings[0]), "copy",
                               TOV_TYPE_GAME);
  engine_module_register_rule(".data.c", "cxx", ".bin", TOV_TYPE_DATA);
}
}
