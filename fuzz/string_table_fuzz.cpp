// SPDX-License-Identifier: Zlib
// The string-table writer on any bytes, then the reader's view of what it
// wrote: every string must start inside the text, after a line break, and
// end in a NUL.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "build_rules/invocations.h"
#include "fuzz_support.h"
#include "tov/tov_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFF) return 0;
  // The writer puts its output in place by renaming a file beside it: a
  // real folder, not the memfd of fuzz_file.
  static char path[64];
  if (!path[0]) snprintf(path, sizeof(path), "/tmp/tov_fuzz_string_table.%d", (int)getpid());
  CommandInput input = {"input.strtbl", {}};
  zu_array_assign_range(&input.data, data, data + size);
  CommandOutput output = {path, filesystem_file_create(path, 1, 0)};
  if (!output.file) abort();
  CommandContext context = {&input, 1, &output, 1, "/", "/", "i/"};
  command_nullterminate_newlines(&context);
  filesystem_file_destroy(output.file);
  zu_array_destroy(&input.data);

  ZuFile* file = filesystem_file_create(path, 0, 0);
  std::string table(filesystem_file_size(file), '\0');
  filesystem_file_read(file, table.data(), table.size());
  filesystem_file_destroy(file);
  TovFileInfo info = {};
  info.type = 6;
  info.size = table.size();
  info.data = table.data();
  TovStringTable view;
  if (!tov_access_stringtable(&info, &view)) abort();
  u64 text_size = table.size() - 8 - view.count * 8;
  for (u64 i = 0; i < view.count; ++i) {
    u64 offset = view.offsets[i];
    if (offset >= text_size || (i > 0 && offset <= view.offsets[i - 1])) abort();
    if (!memchr(view.text + offset, 0, text_size - offset)) abort();
    // A string starts the text or follows a line break, now a NUL. (Its own
    // first byte may be a NUL: the input's bytes pass unchanged.)
    if (offset > 0 && view.text[offset - 1] != 0) abort();
  }
  return 0;
}
