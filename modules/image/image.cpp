// The image module: registers the build rules for its files.
#include "engine_module.h"

extern "C" {

ZU_EXPORT void initialize_pointers_tov(ZuShared* tov) { engine_module_link(tov); }

ZU_EXPORT void zu_init(void* state, u8 reloaded, const char* const** deps) {
  (void)state;
  (void)reloaded;
  (void)deps;
  static const char* const kEndings[] = {".png", ".jpg", ".jpeg", ".tga", ".dds", ".ktx2", ".hdr", ".exr", ".bmp"};
  engine_module_register_rules(kEndings, sizeof(kEndings) / sizeof(kEndings[0]), "copy",
                               TOV_TYPE_IMAGE);
}
}
