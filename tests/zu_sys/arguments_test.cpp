// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "zu_sys.h"

// GoogleTest takes its own flags out of argv in place, as any program may:
// the null that ends the list ends the count every module parses.
TEST(Arguments, EndAtTheListsNull) {
  i32 argc, count;
  char **argv, **list;
  sys_get_argc_argv(&argc, &argv);
  char program[] = "game", kept[] = "--level";
  char* shortened[] = {program, kept, nullptr, nullptr};
  sys_set_argc_argv(4, shortened);
  sys_get_argc_argv(&count, &list);
  sys_set_argc_argv(argc, argv);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(list, shortened);
}
