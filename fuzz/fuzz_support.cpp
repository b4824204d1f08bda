// SPDX-License-Identifier: Zlib
#include "fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

jmp_buf g_fuzz_exit;

namespace {
void unwind(i32) { longjmp(g_fuzz_exit, 1); }
}  // namespace

void fuzz_install_exit_handler(void) { sys_set_exit_handler(unwind); }

const char* fuzz_file(const uint8_t* bytes, size_t size) {
  static int descriptor = memfd_create("fuzz_input", 0);
  static char path[64];
  snprintf(path, sizeof(path), "/proc/self/fd/%d", descriptor);
  if (ftruncate(descriptor, 0) != 0 || (size && pwrite(descriptor, bytes, size, 0) != (ssize_t)size))
    abort();
  return path;
}
