/* SPDX-License-Identifier: Zlib */
/* tov build registration: how an engine module teaches the data build about
 * its own files.
 *
 * A module registers, from its zu_init, build rules (which file ending is
 * turned into which outputs by which Ninja rule) and commands (what runs when
 * Ninja calls the tool back with --tov-command NAME):
 *
 *     static u32 minify(CommandContext* context) { ... write context->outputs[0] ... }
 *
 *     void zu_init(void*, u8, const char* const**) {
 *       tov_register_rule_invocation("minify_json", minify, 1, 0, 0, NULL, 0);
 *       BuildRule rule = {};              // zero-initialised is valid
 *       zu_string_init(&rule.ending, ".json");
 *       zu_string_init(&rule.command, "minify_json");
 *       rule.ending_hash = zu_hash(".json", 5);
 *       BuildRuleOutput* output = zu_array_push_zeroed(&rule.outputs);
 *       zu_string_init(&output->ending, ".json");
 *       output->type = TOV_TYPE_ENTITY;
 *       output->pack = 1;
 *       tov_register_build_rule(&rule, 1);  // the table keeps a deep copy
 *       ...destroy rule...
 *     }
 *
 * The Ninja rule named by `command` must be defined in a rule file passed
 * with --tov-rule-file (see sdk/rules/), and `sdk/versions/<command>.txt`
 * must exist: every statement depends on it, so bumping it rebuilds.
 *
 * Records embed the engine's ZuString (20 bytes) and ZuArray (16 bytes), both
 * 4-byte aligned; in C they are declared here with the same layout.
 */
#ifndef TOV_BUILD_H
#define TOV_BUILD_H

#include "tov/tov_archive.h" /* the type codes */
#include "zu_sys.h"

#ifdef __cplusplus
#include "zu_array.h"
#include "zu_string.h"
#define TOV_ARRAY(T) ZuArray<T>
#else
typedef struct ZuString {
  _Alignas(4) u8 bytes[20];
} ZuString;
#define TOV_ARRAY(T)                           \
  struct __attribute__((packed, aligned(4))) { \
    T* data;                                   \
    u32 count;                                 \
    u32 capacity;                              \
  }
#endif

typedef struct BuildRuleOutput {
  ZuString ending; /* replaces the rule's ending in the output's name */
  u16 type;        /* archive type code */
  u8 chain;        /* fed back to the rule lookup as a new source */
  u8 pack;         /* an archive member */
} BuildRuleOutput;

typedef struct BuildRuleExtraInput {
  ZuString suffix;          /* the extra input is "<stem><suffix>" */
  u64 suffix_hash;          /* zu_hash of suffix's text, filled by the caller */
  u8 always;                /* write the last candidate even when it does not exist */
  u8 first_in_intermediate; /* first candidate in the intermediate folder */
  u8 then_intermediate;     /* else try the intermediate folder second */
  u8 in_folder;             /* "<the source's folder><suffix>" instead: one file for a whole
                             * folder, as "textures/.texture.toml" (working folder only) */
} BuildRuleExtraInput;

typedef struct BuildRule {
  ZuString ending;     /* ".data.cpp": from the first '.' of the base name */
  ZuString command;    /* the Ninja rule that builds the file */
  ZuString invocation; /* the command whose flags apply; empty: command */
  u64 ending_hash;     /* zu_hash of ending's text, filled by the caller */
  TOV_ARRAY(BuildRuleExtraInput) extra_inputs;
  TOV_ARRAY(BuildRuleOutput) outputs; /* at least one */
  u8 aggregate; /* one combined statement over all generated files */
} BuildRule;

typedef struct CommandInput {
  const char* path;
  TOV_ARRAY(u8) data; /* the whole file when the command opens files */
} CommandInput;

typedef struct CommandOutput {
  const char* path;
  ZuFile* file; /* created before the handler when the command opens files */
} CommandOutput;

/* What a command's handler receives; valid during the call only. */
typedef struct CommandContext {
  CommandInput* inputs;
  u64 input_count;
  CommandOutput* outputs;
  u64 output_count;
  const char* working_dir;
  const char* sdk_dir;
  const char* intermediate_dir;
} CommandContext;

/* Returns the command's result: the exit status of the build step. */
typedef u32 (*RuleInvocationHandler)(CommandContext* context);

typedef struct RuleInvocationGroupDesc {
  const char* name;            /* a Ninja variable listing the matching files */
  const char* const* patterns; /* "*.h": files whose names end with ".h" */
  u64 pattern_count;
} RuleInvocationGroupDesc;

#ifdef __cplusplus
/* Element operations: the engine's containers copy and destroy records
 * member by member through these. */
inline void zu_destroy(BuildRuleOutput* output) { zu_string_destroy(&output->ending); }
inline void zu_copy(BuildRuleOutput* destination, const BuildRuleOutput* source) {
  *destination = *source;
  zu_string_init_copy(&destination->ending, &source->ending);
}
inline void zu_destroy(BuildRuleExtraInput* input) { zu_string_destroy(&input->suffix); }
inline void zu_copy(BuildRuleExtraInput* destination, const BuildRuleExtraInput* source) {
  *destination = *source;
  zu_string_init_copy(&destination->suffix, &source->suffix);
}
inline void zu_destroy(BuildRule* rule) {
  zu_array_destroy(&rule->outputs);
  zu_array_destroy(&rule->extra_inputs);
  zu_string_destroy(&rule->invocation);
  zu_string_destroy(&rule->command);
  zu_string_destroy(&rule->ending);
}
inline void zu_copy(BuildRule* destination, const BuildRule* source) {
  memset((void*)destination, 0, sizeof(*destination));
  zu_string_init_copy(&destination->ending, &source->ending);
  zu_string_init_copy(&destination->command, &source->command);
  zu_string_init_copy(&destination->invocation, &source->invocation);
  destination->ending_hash = source->ending_hash;
  zu_array_assign(&destination->extra_inputs, &source->extra_inputs);
  zu_array_assign(&destination->outputs, &source->outputs);
  destination->aggregate = source->aggregate;
}
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Adds count rules (deep copies); the table stays sorted by ending hash.
 * Two rules for one ending both apply. */
ZU_EXPORT void tov_register_build_rule(const BuildRule* rules, u64 count);

/* Registers a command. name must outlive the process (a literal); the first
 * registration of a name wins, later ones are dropped. */
ZU_EXPORT void tov_register_rule_invocation(const char* name, RuleInvocationHandler handler,
                                            u8 opens_files, u8 has_depfile, u8 has_rspfile,
                                            const RuleInvocationGroupDesc* groups,
                                            u64 group_count);

/* The command this process runs (--tov-command), or null. */
/* Writes a depfile at path naming the files a step read besides its inputs:
 * "output: input...", escaped as make and Ninja read it. An input that is
 * not absolute is taken after prefix (the working folder, say; may be "").
 * Complete or absent, as every output; a failure ends the process. */
ZU_EXPORT void tov_write_depfile(const char* path, const char* output, const char* prefix,
                                 const char* const* inputs, u64 count);
ZU_EXPORT const char* tov_get_current_build_rule_command(void);
/* A value a host or module hands to compiled data; 0 until set. */
ZU_EXPORT void* tov_get_current_build_rule_user_data(void);
ZU_EXPORT void tov_set_current_build_rule_user_data(void* value);

#ifdef __cplusplus
}
#endif

#endif
