// SPDX-License-Identifier: Zlib
// Replacing an option's values from code; each call hands back what was
// there so that the caller can put it back with restore_values.
#include "command_option.h"

void command_option_values_free(CommandOptionValues values) {
  if (values == nullptr || values == kCommandOptionSet) return;
  zu_array_destroy(values);
  sys_free(values);
}

static CommandOptionValues swap_values(CommandOption** handle, CommandOptionValues values) {
  command_option_lock();
  CommandOptionValues previous = (*handle)->values;
  (*handle)->values = values;
  command_option_unlock();
  return previous;
}

static CommandOptionValues new_values(u64 count) {
  CommandOptionValues values = (CommandOptionValues)sys_malloc(sizeof(ZuArray<ZuString>));
  memset((void*)values, 0, sizeof(*values));
  zu_array_reserve(values, count);
  return values;
}

CommandOptionValues command_option_take_values(CommandOption** handle) {
  return swap_values(handle, nullptr);
}

CommandOptionValues command_option_set_flag(CommandOption** handle, u8 set) {
  return swap_values(handle, set ? kCommandOptionSet : nullptr);
}

CommandOptionValues command_option_set_strings(CommandOption** handle, const ZuString* strings,
                                               u64 count) {
  CommandOptionValues values = new_values(count);
  zu_array_assign_range(values, strings, strings + count);
  return swap_values(handle, values);
}

CommandOptionValues command_option_set_texts_strided(CommandOption** handle, const char* first,
                                                     u64 count, u64 stride) {
  CommandOptionValues values = new_values(count);
  for (u64 i = 0; i < count; ++i) zu_string_init(zu_array_push_zeroed(values), first + i * stride);
  return swap_values(handle, values);
}

CommandOptionValues command_option_set_texts(CommandOption** handle, const char* const* texts,
                                             u64 count) {
  CommandOptionValues values = new_values(count);
  for (u64 i = 0; i < count; ++i) zu_string_init(zu_array_push_zeroed(values), texts[i]);
  return swap_values(handle, values);
}

// The typed setters write their texts into a small array and pass them on.
template <class Write>
static CommandOptionValues set_written(CommandOption** handle, u64 count, u32 value_type,
                                       Write write) {
  ZuSmallArray<ZuString, 16> texts;
  zu_small_array_init(&texts);
  char buffer[32];
  for (u64 i = 0; i < count; ++i) {
    write(i, buffer, sizeof(buffer));
    ZuString text;
    zu_string_init(&text, buffer);
    zu_small_array_push(&texts, text);
  }
  CommandOptionValues previous =
      command_option_set_strings(handle, zu_small_array_data(&texts), count);
  zu_small_array_destroy(&texts);
  command_option_lock();
  (*handle)->value_type = value_type;
  command_option_unlock();
  return previous;
}

CommandOptionValues command_option_set_bools(CommandOption** handle, const u8* values,
                                             u64 count) {
  return set_written(handle, count, kOptionBool, [&](u64 i, char* buffer, u64 size) {
    sys_strncpy(buffer, values[i] ? "true" : "false", size);
  });
}

CommandOptionValues command_option_set_uints(CommandOption** handle, const u64* values,
                                             u64 count) {
  return set_written(handle, count, kOptionUint, [&](u64 i, char* buffer, u64 size) {
    sys_utoa(values[i], buffer, size, 10);
  });
}

CommandOptionValues command_option_set_ints(CommandOption** handle, const i64* values,
                                            u64 count) {
  return set_written(handle, count, kOptionInt, [&](u64 i, char* buffer, u64 size) {
    sys_itoa(values[i], buffer, size, 10);
  });
}

void command_option_restore_values(CommandOption** handle, CommandOptionValues previous) {
  command_option_values_free(swap_values(handle, previous));
}
