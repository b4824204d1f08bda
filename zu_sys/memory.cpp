// SPDX-License-Identifier: Zlib
#include <stdlib.h>

#include "internal.h"

void* sys_malloc(u64 size) {
  // A zero-byte request still gives a unique block that sys_free accepts.
  void* block = malloc(size ? size : 1);
  if (!block) {
    static const char message[] = "ERROR: Out of memory\n";
    write_all(2, message, sizeof(message) - 1);
    _Exit(255);
  }
  return block;
}

void sys_free(void* block) { free(block); }
