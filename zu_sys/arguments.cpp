// SPDX-License-Identifier: Zlib
#include "internal.h"

namespace {

i32 g_argc;
char** g_argv;

// The C library hands every shared library's initialisers the process's
// arguments; keeping them here costs nothing at start-up.
void capture_arguments(int argc, char** argv, char**) {
  g_argc = argc;
  g_argv = argv;
}

__attribute__((section(".init_array"), used)) void (*g_capture)(int, char**, char**) =
    capture_arguments;

}  // namespace

void sys_get_argc_argv(i32* argc, char*** argv) {
  // A program may take arguments out in place (test harnesses remove their
  // own flags): the null that ends the list ends the count.
  i32 count = 0;
  while (count < g_argc && g_argv[count]) ++count;
  *argc = count;
  *argv = g_argv;
}

void sys_set_argc_argv(i32 argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
}
