// SPDX-License-Identifier: Zlib
#include <string.h>

#include "command_option.h"

namespace {
CommandOption* g_head;  // this module's registry, newest first
}  // namespace

CommandOption* command_option_head(void) { return g_head; }

void command_option_set_head(CommandOption* head) { g_head = head; }

void command_option_lock(void) {
  if (HostContext* host = zu_host()) thread_mutex_lock(host->option_lock);
}

void command_option_unlock(void) {
  if (HostContext* host = zu_host()) thread_mutex_unlock(host->option_lock);
}

static const char* short_text(char short_name, char (*buffer)[2]) {
  (*buffer)[0] = short_name;
  (*buffer)[1] = 0;
  return *buffer;
}

CommandOption** command_option_register(CommandOption** handle, char short_name,
                                        const char* long_name, u8 match_prefix,
                                        u8 value_in_argument, const char* description,
                                        u8 required, u32 arity, u32 value_type,
                                        const char* source_file, u32 source_line) {
  *handle = nullptr;
  if ((arity == 0) != (value_type == 0))
    sys_exit(-1, "ERROR: Illegal command '%s' registered (file: '%s', line: %i)", long_name,
             source_file, (i32)source_line);
  for (CommandOption* option = g_head; option; option = option->next) {
    if (option->source_line == source_line && strcmp(option->source_file, source_file) == 0 &&
        strcmp(option->long_name, long_name) == 0) {
      *handle = option;  // the same registration seen again
      return handle;
    }
  }
  CommandOption* option = (CommandOption*)sys_malloc(sizeof(CommandOption));
  option->short_name = short_name;
  option->long_name = long_name;
  option->match_prefix = match_prefix;
  option->value_in_argument = value_in_argument;
  option->description = description;
  option->required = required;
  option->arity = arity;
  option->value_type = value_type;
  option->source_file = source_file;
  option->source_line = source_line;
  option->values = nullptr;
  option->previous = nullptr;
  option->reusable = 0;
  option->next = g_head;
  option->handle = handle;
  g_head = option;
  *handle = option;
  for (CommandOption* other = option->next; other; other = other->next) {
    bool same_short = short_name != 0 && other->short_name == short_name;
    if (same_short || strcmp(other->long_name, long_name) == 0) {
      char mine[2], theirs[2];
      sys_exit(-1, "Command collision between '%s/%s' and '%s/%s' found, aborted\n",
               short_text(short_name, &mine), long_name, short_text(other->short_name, &theirs),
               other->long_name);
    }
  }
  return handle;
}

CommandOption* command_option_find(const char* long_name) {
  command_option_lock();
  CommandOption* found = nullptr;
  for (CommandOption* option = g_head; option && !found; option = option->next)
    if (strcmp(option->long_name, long_name) == 0) found = option;
  command_option_unlock();
  return found;
}

bool command_option_is_set(CommandOption** handle) {
  command_option_lock();
  bool set = (*handle)->values != nullptr;
  command_option_unlock();
  return set;
}

u64 command_option_count(CommandOption** handle) {
  command_option_lock();
  CommandOptionValues values = (*handle)->values;
  u64 count = values == nullptr ? 0 : values == kCommandOptionSet ? 1 : values->count;
  command_option_unlock();
  return count;
}

const ZuString* command_option_value(CommandOption** handle, u64 index) {
  command_option_lock();
  const ZuString* value = (*handle)->values->data + index;
  command_option_unlock();
  return value;
}

bool command_option_value_bool(CommandOption** handle, u64 index) {
  command_option_lock();
  bool value = strcmp(zu_string_text(command_option_value(handle, index)), "true") == 0;
  command_option_unlock();
  return value;
}

i64 command_option_value_int(CommandOption** handle, u64 index) {
  command_option_lock();
  const char* end;
  i64 value = sys_atoi(zu_string_text(command_option_value(handle, index)), 10, &end);
  command_option_unlock();
  return value;
}

u64 command_option_value_uint(CommandOption** handle, u64 index) {
  command_option_lock();
  const char* end;
  u64 value = sys_atou(zu_string_text(command_option_value(handle, index)), 10, &end);
  command_option_unlock();
  return value;
}

// The get_ forms check under the lock, release it, and take it again to
// read the first value.
static bool has_value(CommandOption** handle) {
  command_option_lock();
  CommandOptionValues values = (*handle)->values;
  bool has = values != nullptr && values != kCommandOptionSet && values->count > 0;
  command_option_unlock();
  return has;
}

bool command_option_get_string(CommandOption** handle, ZuString* out) {
  if (!has_value(handle)) return false;
  command_option_lock();
  zu_string_assign(out, command_option_value(handle, 0));
  command_option_unlock();
  return true;
}

bool command_option_get_text(CommandOption** handle, const char** out) {
  if (!has_value(handle)) return false;
  *out = zu_string_text(command_option_value(handle, 0));
  return true;
}

bool command_option_get_bool(CommandOption** handle, u8* out) {
  if (!has_value(handle)) return false;
  *out = command_option_value_bool(handle, 0);
  return true;
}

bool command_option_get_int(CommandOption** handle, i64* out) {
  if (!has_value(handle)) return false;
  *out = command_option_value_int(handle, 0);
  return true;
}

bool command_option_get_uint(CommandOption** handle, u64* out) {
  if (!has_value(handle)) return false;
  *out = command_option_value_uint(handle, 0);
  return true;
}
