// SPDX-License-Identifier: Zlib
// The module's side of start-up: join this module's options into the host's
// registry, then parse the process's arguments while the host asks for it.
#include "command_option.h"

void command_option_merge(CommandOption* host_head) {
  command_option_lock();
  CommandOption* own = command_option_head();
  if (own == host_head) {
    command_option_unlock();
    return;  // already joined
  }
  if (!host_head) {
    // A host without options takes this module's list as it is.
    command_option_unlock();
    return;
  }
  CommandOption* tail = host_head;
  while (tail->next) tail = tail->next;
  while (own) {
    CommandOption* option = own;
    own = own->next;
    CommandOption* twin = nullptr;
    for (CommandOption* at = host_head; at && !twin; at = at->next) {
      if (at->source_line == option->source_line &&
          strcmp(at->source_file, option->source_file) == 0 &&
          strcmp(at->long_name, option->long_name) == 0)
        twin = at;
    }
    if (twin) {
      // Compiled from the same source place: one record for the process.
      *option->handle = twin;
      command_option_values_free(option->values);
      sys_free(option);
    } else {
      option->next = nullptr;
      tail->next = option;
      tail = option;
    }
  }
  command_option_set_head(host_head);
  command_option_unlock();
}

void shared_init(const ZuContextPair* context) {
  zu_set_host(context->host);
  command_option_merge(context->options);
  i32 argc;
  char** argv;
  sys_get_argc_argv(&argc, &argv);
  if (context->host && context->host->parse_command_line && argc > 0)
    command_option_parse(argc - 1, argv + 1, 1);
  command_option_run_parse_hooks();
}

void shared_fini(void) {}
