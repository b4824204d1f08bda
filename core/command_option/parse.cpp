// SPDX-License-Identifier: Zlib
// The command-line parser: every argument is matched against the registry.
// Lenient mode skips what the registry does not know, since the host and
// modules not loaded yet own options of their own.
#include "command_option.h"
#include "parse_internal.h"

namespace {

// Long options skipped in lenient mode, for a later look once every module
// has registered its own.
ZuArray<ZuString> g_skipped;

[[noreturn]] void fail_option(const char* format, const CommandOption* option) {
  char short_name[2] = {option->short_name, 0};
  sys_exit(-1, format, short_name, option->long_name);
}

// Every module parses the whole command line again, and a pack step's
// holds tens of thousands of paths: an option's block of values is kept
// across the reset, and each value that comes again at its place is kept,
// not freed and copied anew.
ZuArray<ZuString>* value_block(CommandOption* option) {
  if (option->values == nullptr || option->values == kCommandOptionSet) {
    if (option->previous) {
      option->values = option->previous;
      option->previous = nullptr;
      option->reusable = option->values->count;
      option->values->count = 0;
    } else {
      option->values = (CommandOptionValues)sys_malloc(sizeof(ZuArray<ZuString>));
      memset((void*)option->values, 0, sizeof(ZuArray<ZuString>));
    }
  }
  return option->values;
}

void add_value(CommandOption* option, ZuArray<ZuString>* values, const char* text) {
  if (values->count < option->reusable) {
    ZuString* value = values->data + values->count++;
    if (!zu_string_equal_text(value, text)) {
      zu_string_destroy(value);
      zu_string_init(value, text);
    }
  } else {
    zu_string_init(zu_array_push_zeroed(values), text);
  }
  if (option->arity == kOptionOne && values->count > 1)
    fail_option("Multiple arguments given for command '%s/%s', aborted\n", option);
}

// Frees what the parse before left that this one did not take back.
void drop_previous_values(void) {
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    command_option_values_free(option->previous);
    option->previous = nullptr;
    if (option->reusable > 0 && option->values != nullptr && option->values != kCommandOptionSet) {
      ZuArray<ZuString>* values = option->values;
      for (u32 i = values->count; i < option->reusable; ++i) zu_string_destroy(values->data + i);
    }
    option->reusable = 0;
  }
}

CommandOption* find_prefix_option(const char* argument) {
  for (CommandOption* option = command_option_head(); option; option = option->next)
    if (option->match_prefix && sys_strbegin(argument, option->long_name)) return option;
  return nullptr;
}

CommandOption* find_long_option(const char* name) {
  for (CommandOption* option = command_option_head(); option; option = option->next)
    if (!option->match_prefix && strcmp(option->long_name, name) == 0) return option;
  return nullptr;
}

CommandOption* find_short_option(char name) {
  for (CommandOption* option = command_option_head(); option; option = option->next)
    if (option->short_name == name) return option;
  return nullptr;
}

// "-abc": every letter must name a flag, which becomes set.
void parse_flag_group(const char* letters, u8 lenient) {
  for (const char* at = letters; *at; ++at) {
    CommandOption* option = find_short_option(*at);
    if (!option) {
      if (lenient) continue;
      char name[2] = {*at, 0};
      sys_exit(-1, "No command named '%s' found, aborted\n", name);
    }
    if (option->arity != kOptionFlag)
      fail_option("Command '%s/%s' cannot be combined with other commands, aborted\n", option);
    option->values = kCommandOptionSet;
  }
}

}  // namespace

i32 command_option_parse(i32 argc, char** argv, u8 lenient) {
  // The parse runs under the option lock, so one state serves; a parse that
  // ended through an exit handler left it live, and it is freed here.
  static CommandOptionParseState state;
  static bool live;
  command_option_lock();
  command_option_release_abandoned();
  if (live) zu_small_array_destroy(&state.seen);
  zu_small_array_init(&state.seen);
  state.working_dir_applied = 0;
  live = true;
  i32 consumed = command_option_parse_arguments(argc, argv, lenient, &state, 1, 0);
  drop_previous_values();
  zu_small_array_destroy(&state.seen);
  live = false;
  command_option_unlock();
  return consumed;
}

i32 command_option_parse_arguments(i32 argc, char** argv, u8 lenient,
                                   CommandOptionParseState* state, u8 reset, u8 keep_existing) {
  if (reset) {
    zu_array_clear(&g_skipped);
    drop_previous_values();  // left by a parse that ended early
    for (CommandOption* option = command_option_head(); option; option = option->next) {
      option->previous = option->values == kCommandOptionSet ? nullptr : option->values;
      option->values = nullptr;
    }
  }
  for (i32 index = 0; index < argc;) {
    const char* argument = argv[index];
    const char* candidate = nullptr;  // a prefix option's value
    CommandOption* option = find_prefix_option(argument);
    if (option) {
      candidate = argument + strlen(option->long_name);
    } else if (argument[0] != '-') {
      if (!lenient) sys_exit(-1, "Command '%s' doesn't begin with '-', aborted\n", argument);
      ++index;
      continue;
    } else {
      const char* name;
      if (argument[1] == '-') {
        if (argument[2] == 0) return index + 1;
        name = argument + 2;
        option = find_long_option(name);
      } else {
        if (argument[1] == 0) sys_exit(-1, "Single '-' is not allowed, aborted\n");
        if (argument[2] != 0) {
          parse_flag_group(argument + 1, lenient);
          ++index;
          continue;
        }
        name = argument + 1;
        option = find_short_option(argument[1]);
      }
      if (!option) {
        if (!lenient) {
          command_option_print_help();
          sys_exit(-1, "No command named '%s' found, aborted\n", name);
        }
        if (argument[1] == '-') zu_string_init(zu_array_push_zeroed(&g_skipped), name);
        ++index;
        continue;
      }
    }
    ++index;
    if (option->arity == kOptionFlag) {
      option->values = kCommandOptionSet;
      continue;
    }
    ZuArray<ZuString>* values = value_block(option);
    if (option->value_in_argument) {
      add_value(option, values, candidate ? candidate : "");
    } else {
      for (; index < argc && argv[index][0] != '-'; ++index) {
        const char* value = argv[index];
        if (value[0] == '\\') ++value;  // lets a value begin with a dash
        if (keep_existing && option->arity == kOptionOne && values->count == 1) continue;
        add_value(option, values, value);
      }
    }
    if (values->count == 0)
      fail_option("Command '%s/%s' expected argument(s) but no argument was provided, aborted\n",
                  option);
  }
  for (CommandOption* option = command_option_head(); option; option = option->next) {
    if (option->required && option->values == nullptr)
      fail_option("Required argument for '%s/%s' is missing, aborted\n", option);
  }
  command_option_apply_working_dir(state);
  command_option_read_argument_files(lenient, state);
  return argc;
}

u64 command_option_skipped_count(void) { return g_skipped.count; }

const char* command_option_skipped(u64 index) { return zu_string_text(g_skipped.data + index); }
