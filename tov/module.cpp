// SPDX-License-Identifier: Zlib
#include "tov_entry.h"

#include "build_rules/invocations.h"
#include "host_context.h"
#include "ninja/build_rule_table.h"

void tov_register_builtins(void) {
  register_builtin_build_rules();
  register_builtin_commands();
}

namespace {

// The engine modules the loader brings in after this one.
const char* const kModuleList[] = {"render", "image", "audio", "model",
                                   "font",   "entity", "game",  nullptr};

const char kModuleTag[4] = {'t', 'o', 'v', 0};

u32 run_tool(u32, void*) { return tov_begin(); }

}  // namespace

void zu_init(void* state, u8 reloaded, const char* const** deps) {
  (void)state;
  (void)reloaded;
  tov_register_builtins();
  HostContext* host = zu_host();
  if (!host || !host->module_name) return;
  // Four bytes, the NUL included: "tov" followed by more is another name.
  for (u32 i = 0; i < sizeof(kModuleTag); ++i)
    if (host->module_name[i] != kModuleTag[i]) return;
  host->entry = run_tool;
  if (deps) *deps = kModuleList;
}

void* zu_fini(u8 reloading) {
  (void)reloading;
  return nullptr;
}
