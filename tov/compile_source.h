// SPDX-License-Identifier: Zlib
// One file handed to the bitcode compiler: the name the compiler sees it
// under (and a source includes a header by), and its contents, followed in
// memory by a NUL byte that size does not count.
#pragma once

#include "zu_sys.h"

struct CompileSource {
  const char* name;
  const u8* data;
  u64 size;
};
