// SPDX-License-Identifier: Zlib
// One test module of the loader tests, built three times as mod_a, mod_b and
// mod_c (MODULE_NAME). Every export records its call in the log file the
// test names in TOV_CALL_LOG.
#include <stdio.h>
#include <stdlib.h>

#include "host_context.h"
#include "reactor.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
void record(const char* format, const char* value) {
  const char* path = getenv("TOV_CALL_LOG");
  FILE* log = path ? fopen(path, "a") : nullptr;
  if (!log) return;  // nothing recorded: the test's comparison names what is missing
  fprintf(log, format, MODULE_NAME, value);
  fputc('\n', log);
  fclose(log);
}
const char kState[] = MODULE_NAME "-state";
}  // namespace

#define LINK(other)                                                      \
  EXPORT void initialize_pointers_##other(ZuShared* library) {           \
    record("%s.link(%s)", shared_shared_get_name(library));              \
  }
LINK(mod_a)
LINK(mod_b)
LINK(mod_c)

EXPORT void zu_init(void* state, u8 reloaded, const char* const** deps) {
  char value[128];
  snprintf(value, sizeof(value), "%s,%d", state ? (const char*)state : "null", reloaded);
  record("%s.zu_init(%s)", value);
  // mod_a asks for itself, for mod_c twice and for mod_b: each is queued once.
  static const char* const kDeps[] = {"mod_a", "mod_c", "mod_b", "mod_c", nullptr};
  if (MODULE_ASKS_FOR_DEPS) *deps = kDeps;
}

EXPORT void* zu_fini(u8 reloading) {
  record("%s.zu_fini(%s)", reloading ? "1" : "0");
  return (void*)kState;
}
