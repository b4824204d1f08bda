// SPDX-License-Identifier: Zlib
// Time to load bcgen.x86_64 and bcexe.x86_64 (with the LLVM and Clang
// libraries and their static initialisers) the way the loader does, without
// the rest of a cxx step: the floor under every compiled-data step.
//   llvm_load BIN_DIR
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s BIN_DIR\n", argv[0]);
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/";
  timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (const char* name : {"bcgen.x86_64", "bcexe.x86_64"}) {
    if (!dlopen((dir + name).c_str(), RTLD_NOW | RTLD_LOCAL)) {
      fprintf(stderr, "%s\n", dlerror());
      return 1;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  printf("loading bcgen and bcexe: %.1f ms\n",
         (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6);
  return 0;
}
