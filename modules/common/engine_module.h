// SPDX-License-Identifier: Zlib
// What the engine modules share: reaching tov's registration exports through
// the loader's cross-link, and registering rules that pack a module's files.
#pragma once

#include "cook_request.h"
#include "tov/tov_build.h"

typedef void (*RegisterBuildRule)(const BuildRule* rules, u64 count);
typedef void (*RegisterRuleInvocation)(const char* name, RuleInvocationHandler handler,
                                       u8 opens_files, u8 has_depfile, u8 has_rspfile,
                                       const RuleInvocationGroupDesc* groups, u64 group_count);

typedef void (*WriteDepfile)(const char* path, const char* output, const char* prefix,
                             const char* const* inputs, u64 count);

struct EngineModuleLink {
  RegisterBuildRule register_build_rule;
  RegisterRuleInvocation register_rule_invocation;
  WriteDepfile write_depfile;
};

// Filled by initialize_pointers_tov; null until tov.x86_64 is loaded.
extern EngineModuleLink g_tov;

// Each module defines this: its registrations, made from its zu_init once
// the tool's exports are linked. (common/module_exports.cpp holds the
// exports every module shares.)
void engine_module_register(void);

// One rule per ending: the file is run through command (the same ending
// out) and packed with type. Nothing happens without the tool.
void engine_module_register_rules(const char* const* endings, u32 count, const char* command,
                                  u16 type);
template <u32 N>
void engine_module_register_rules(const char* const (&endings)[N], const char* command, u16 type) {
  engine_module_register_rules(endings, N, command, type);
}
// One rule whose output ending differs from the source's. Settings files,
// when there are any, are inputs of the statement (a change rebuilds
// exactly the sources they cover) and are never packed themselves: with a
// folder_settings name, the file of that name in the source's folder
// (".texture.toml"), then with a settings_suffix the file "<stem><suffix>"
// beside the source ("hero.png.toml").
void engine_module_register_rule(const char* ending, const char* command, const char* output_ending,
                                 u16 type, const char* settings_suffix = nullptr,
                                 const char* folder_settings = nullptr);

// A cooking command and its rules: each ending becomes output_ending
// through command, with the folder's settings file (folder_settings) and
// the source's own ("<name>.toml", as hero.png.toml) as extra inputs.
void engine_module_register_cooking(const char* command, RuleInvocationHandler handler,
                                    const char* const* endings, u32 count,
                                    const char* output_ending, u16 type,
                                    const char* folder_settings);
template <u32 N>
void engine_module_register_cooking(const char* command, RuleInvocationHandler handler,
                                    const char* const (&endings)[N], const char* output_ending,
                                    u16 type, const char* folder_settings) {
  engine_module_register_cooking(command, handler, endings, N, output_ending, type,
                                 folder_settings);
}

// A function of the module's cooking library (loaded on first use, by the
// command that cooks, and kept); a missing library or function ends the
// step with a message.
void* engine_module_cook_function(const char* library, const char* function);

// The settings files a cooking command was given after its source, in the
// order they apply (the folder's, then the source's own).
u32 engine_module_settings_files(const CommandContext* context, SettingsFile* out, u32 capacity);

// A whole cooking command: one source, its settings files if any, one
// output, cooked by the function cook of library (release frees its
// result). kind names the source in messages ("texture"); the library's
// report is printed with --tov-verbose.
u32 engine_module_cook(CommandContext* context, const char* command, const char* kind,
                       const char* library, const char* cook, const char* release);
