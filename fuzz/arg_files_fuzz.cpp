// SPDX-License-Identifier: Zlib
// Argument files of every kind: the first byte picks line, optional or
// space file; the rest is the file. Nested files name the same file again.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "command_option.h"
#include "fuzz_support.h"

ZU_COMMAND_OPTION(g_fuzz_many, 'm', "fuzz-many", "many", kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_fuzz_one, 'n', "fuzz-one", "one", kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_fuzz_flag, 'g', "fuzz-flag", "flag", kOptionFlag, kOptionNone);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HostContext host = [] {
    HostContext context = {};
    context.option_lock = thread_mutex_create();
    return context;
  }();
  zu_set_host(&host);
  if (size == 0) return 0;
  const char* kinds[] = {"--arg-file", "--optional-arg-file", "--arg-file-space",
                         "--arg-file-shell"};
  char kind[32];
  snprintf(kind, sizeof(kind), "%s", kinds[data[0] % 4]);
  char path[64];
  snprintf(path, sizeof(path), "%s", fuzz_file(data + 1, size - 1));
  // Argument files are read to their end, as any reader reads them: one
  // naming this process's own pipes (/proc/self/fd/1) or a device would
  // wait or run for ever. Only the input's own file is named.
  const char* const prefixes[] = {"/proc/", "/dev/"};
  for (const char* prefix : prefixes) {
    const uint8_t* end = data + size;
    for (const uint8_t* at = data; (at = (const uint8_t*)memmem(at, (size_t)(end - at), prefix,
                                                              strlen(prefix)));
         ++at) {
      if ((size_t)(end - at) < strlen(path) || memcmp(at, path, strlen(path)) != 0) return 0;
    }
  }
  char* argv[] = {kind, path};
  // --working-dir may move the process: come back, or the fuzzer's own
  // relative paths break.
  static char folder[4096];
  if (!folder[0] && !getcwd(folder, sizeof(folder))) abort();
  if (FUZZ_GUARD()) command_option_parse(2, argv, data[0] & 4 ? 0 : 1);
  if (chdir(folder) != 0) abort();
  // Read back what was parsed, as the tool would.
  for (u64 i = 0; i < command_option_count(&g_fuzz_many); ++i)
    (void)zu_string_length(command_option_value(&g_fuzz_many, i));
  return 0;
}
