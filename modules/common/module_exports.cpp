// SPDX-License-Identifier: Zlib
// The module contract's exports, the same for every engine module: the
// loader's cross-link hands over tov.x86_64, whose registration functions
// the module then calls from zu_init.
#include "engine_module.h"

extern "C" {

ZU_EXPORT void initialize_pointers_tov(ZuShared* tov) {
  g_tov.register_build_rule =
      (RegisterBuildRule)shared_shared_load_function(tov, "tov_register_build_rule");
  g_tov.register_rule_invocation =
      (RegisterRuleInvocation)shared_shared_load_function(tov, "tov_register_rule_invocation");
  g_tov.write_depfile = (WriteDepfile)shared_shared_load_function(tov, "tov_write_depfile");
}

ZU_EXPORT void zu_init(void* state, u8 reloaded, const char* const** deps) {
  (void)state;
  (void)reloaded;
  (void)deps;
  engine_module_register();
}
}
