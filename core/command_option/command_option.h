// SPDX-License-Identifier: Zlib
// Command-line options. Each option is declared in the source file that
// reads it, by a registration that runs while the module is loaded and fills
// the option's handle. Values are read only through the getters below, which
// take the host's option lock.
#pragma once

#include "host_context.h"
#include "zu_array.h"
#include "zu_small_array.h"
#include "zu_string.h"

enum CommandOptionArity : u32 {
  kOptionFlag = 0,  // no value
  kOptionOne = 1,   // exactly one value
  kOptionMany = 2,  // one or more values
};

enum CommandOptionType : u32 {
  kOptionNone = 0,
  kOptionBool = 1,
  kOptionString = 2,
  kOptionInt = 3,
  kOptionUint = 4,
};

// An option's values: null is unset, kCommandOptionSet marks a flag that was
// given, anything else is a block holding the values in command-line order.
typedef ZuArray<ZuString>* CommandOptionValues;
#define kCommandOptionSet ((CommandOptionValues)1)

struct CommandOption {
  char short_name;        // 0: none
  const char* long_name;  // a prefix option's whole leading text ("-epicapp=")
  u8 match_prefix;
  u8 value_in_argument;   // the value is the rest of the same argument
  const char* description;
  u8 required;
  u32 arity;
  u32 value_type;
  const char* source_file;
  u32 source_line;
  CommandOptionValues values;
  // While a parse with reset runs: the values of the parse before, then,
  // once the option is met, how many of them still follow its new values in
  // the block, to be taken back where the same text comes at the same place.
  CommandOptionValues previous;
  u32 reusable;
  CommandOption* next;
  CommandOption** handle;
};

// Registers an option from a static initialiser and returns the handle.
CommandOption** command_option_register(CommandOption** handle, char short_name,
                                        const char* long_name, u8 match_prefix,
                                        u8 value_in_argument, const char* description,
                                        u8 required, u32 arity, u32 value_type,
                                        const char* source_file, u32 source_line);

#define ZU_OPTION_CONCAT_(a, b) a##b
#define ZU_OPTION_CONCAT(a, b) ZU_OPTION_CONCAT_(a, b)

// Declares the handle `name` and registers it when the module loads.
#define ZU_COMMAND_OPTION_EX(name, short_name, long_name, match_prefix, value_in_argument,     \
                             description, arity, value_type)                                 \
  CommandOption* name;                                                                        \
  static CommandOption** ZU_OPTION_CONCAT(name, _registration) [[maybe_unused]] =            \
      command_option_register(&name, short_name, long_name, match_prefix, value_in_argument, \
                              description, 0, arity, value_type, __FILE__, __LINE__)

#define ZU_COMMAND_OPTION(name, short_name, long_name, description, arity, value_type) \
  ZU_COMMAND_OPTION_EX(name, short_name, long_name, 0, 0, description, arity, value_type)

// The module's registry, newest registration first; after the join it is
// the host's.
CommandOption* command_option_head(void);
void command_option_set_head(CommandOption* head);

// Takes and releases the host's option lock (nothing without a host).
void command_option_lock(void);
void command_option_unlock(void);

// ---- queries -----------------------------------------------------------
CommandOption* command_option_find(const char* long_name);
// The long options ("name" of "--name") that lenient parsing skipped since
// the last full parse, in order: no option knew them then.
u64 command_option_skipped_count(void);
const char* command_option_skipped(u64 index);
bool command_option_is_set(CommandOption** handle);
u64 command_option_count(CommandOption** handle);
// The index is not checked; the option must be set.
const ZuString* command_option_value(CommandOption** handle, u64 index);
bool command_option_value_bool(CommandOption** handle, u64 index);
i64 command_option_value_int(CommandOption** handle, u64 index);
u64 command_option_value_uint(CommandOption** handle, u64 index);
bool command_option_get_string(CommandOption** handle, ZuString* out);
bool command_option_get_text(CommandOption** handle, const char** out);
bool command_option_get_bool(CommandOption** handle, u8* out);
bool command_option_get_int(CommandOption** handle, i64* out);
bool command_option_get_uint(CommandOption** handle, u64* out);

// ---- overrides: each returns what was there, for restore_values -------
CommandOptionValues command_option_take_values(CommandOption** handle);
CommandOptionValues command_option_set_flag(CommandOption** handle, u8 set);
CommandOptionValues command_option_set_strings(CommandOption** handle, const ZuString* strings,
                                               u64 count);
CommandOptionValues command_option_set_texts(CommandOption** handle, const char* const* texts,
                                             u64 count);
CommandOptionValues command_option_set_texts_strided(CommandOption** handle, const char* first,
                                                     u64 count, u64 stride);
CommandOptionValues command_option_set_bools(CommandOption** handle, const u8* values, u64 count);
CommandOptionValues command_option_set_uints(CommandOption** handle, const u64* values,
                                             u64 count);
CommandOptionValues command_option_set_ints(CommandOption** handle, const i64* values, u64 count);
void command_option_restore_values(CommandOption** handle, CommandOptionValues previous);

// Frees a value block (nothing for unset or set).
void command_option_values_free(CommandOptionValues values);

// ---- listing -----------------------------------------------------------
void command_option_print_help(void);
void command_option_print_set(void);

// ---- the command line --------------------------------------------------
// The argument files already read during one parse, and whether the
// working-dir option was applied.
struct CommandOptionParseState {
  ZuSmallArray<ZuString, 8> seen;
  u8 working_dir_applied;
};

// Joins this module's records into the host's list.
void command_option_merge(CommandOption* host_head);
// Parses with reset, under the option lock; returns the arguments consumed.
i32 command_option_parse(i32 argc, char** argv, u8 lenient);
i32 command_option_parse_arguments(i32 argc, char** argv, u8 lenient,
                                   CommandOptionParseState* state, u8 reset, u8 keep_existing);

// ---- after-parse hooks -------------------------------------------------
struct ParseHook {
  u64 argument;
  u64 (*function)(u64 argument);  // the result is ignored
  ParseHook* next;
  const char* source_file;
  u32 source_line;
  i32 priority;
};

ParseHook* command_option_add_parse_hook(ParseHook* node, u64 argument,
                                         u64 (*function)(u64 argument), i32 priority,
                                         const char* source_file, u32 source_line);
void command_option_run_parse_hooks(void);

extern "C" {
ZU_EXPORT void shared_init(const ZuContextPair* context);
ZU_EXPORT void shared_fini(void);
}
