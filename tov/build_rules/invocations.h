// SPDX-License-Identifier: Zlib
// The command table: every command that Ninja can run through
// --tov-command, sorted by name hash, filled during start-up.
#pragma once

#include "tov/tov_build.h"

struct RuleInvocationGroup {
  ZuString name;
  ZuArray<ZuString> patterns;  // "*.h"
};

struct RuleInvocation {
  u64 hash;  // zu_hash of the name's text
  const char* name;
  RuleInvocationHandler handler;
  u8 opens_files;  // inputs read whole, outputs created, before the handler
  u8 has_depfile;  // statements get an out_depfile variable
  u8 has_rspfile;  // statements get an out_rspfile variable
  // The handler opens every input itself and, where one cannot be opened,
  // calls command_check_inputs: a walk through each path's folders, which
  // the runner's own check would make twice.
  u8 checks_inputs;
  ZuArray<RuleInvocationGroup> groups;
};
static_assert(sizeof(RuleInvocation) == 48, "the command table's records are 48 bytes");

void zu_destroy(RuleInvocationGroup* group);
void zu_copy(RuleInvocationGroup* destination, const RuleInvocationGroup* source);

const ZuArray<RuleInvocation>* rule_invocation_table(void);
// The command whose name has hash, or null.
const RuleInvocation* find_rule_invocation(u64 hash);

// Runs one command with the step's inputs and outputs; returns its result.
u32 run_command(const char* name, const char* working_dir, const char* sdk_dir,
                const char* intermediate_dir);

// Ends the process, naming the first input in order that is missing or
// cannot be read, if there is one.
void command_check_inputs(const CommandContext* context);

// The built-in commands, registered by zu_init after the build rules.
void register_builtin_commands(void);

// The handlers of the built-in commands.
u32 command_copy(CommandContext* context);
u32 command_mirror_dir(CommandContext* context);
u32 command_nullterminate(CommandContext* context);
u32 command_nullterminate_newlines(CommandContext* context);
u32 command_pack(CommandContext* context);
u32 command_fileinfo(CommandContext* context);
u32 command_cxx(CommandContext* context);
