// SPDX-License-Identifier: Zlib
#include "command_option.h"

namespace {
ParseHook* g_hooks;  // highest priority first
}  // namespace

ParseHook* command_option_add_parse_hook(ParseHook* node, u64 argument,
                                         u64 (*function)(u64 argument), i32 priority,
                                         const char* source_file, u32 source_line) {
  node->argument = argument;
  node->function = function;
  node->source_file = source_file;
  node->source_line = source_line;
  node->priority = priority;
  // Before the first node of lower or equal priority: among equals the
  // latest registration runs first.
  ParseHook** link = &g_hooks;
  while (*link && (*link)->priority > priority) link = &(*link)->next;
  node->next = *link;
  *link = node;
  return node;
}

void command_option_run_parse_hooks(void) {
  for (ParseHook* hook = g_hooks; hook; hook = hook->next) hook->function(hook->argument);
}
