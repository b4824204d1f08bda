// SPDX-License-Identifier: Zlib
#include "command_option.h"

void command_option_print_help(void) {
  command_option_lock();
  sys_printf("Available options:\n");
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    if (option->short_name) {
      char short_name[2] = {option->short_name, 0};
      sys_printf("  -%s/--%-30s%s\n", short_name, option->long_name, option->description);
    } else {
      sys_printf("     --%-30s%s\n", option->long_name, option->description);
    }
  }
  command_option_unlock();
}

void command_option_print_set(void) {
  command_option_lock();
  sys_printf("Set options:\n");
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    if (!option->values) continue;
    if (option->short_name) {
      char short_name[2] = {option->short_name, 0};
      sys_printf("  -%s/--%-20s\n", short_name, option->long_name);
    } else {
      sys_printf("     --%-20s\n", option->long_name);
    }
  }
  command_option_unlock();
}
