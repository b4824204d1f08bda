// SPDX-License-Identifier: Zlib
#include "invocations.h"

#include "development_pack.h"
#include "zu_sort.h"

namespace {
ZuArray<RuleInvocation> g_invocations;
}  // namespace

void zu_destroy(RuleInvocationGroup* group) {
  zu_array_destroy(&group->patterns);
  zu_string_destroy(&group->name);
}

void zu_copy(RuleInvocationGroup* destination, const RuleInvocationGroup* source) {
  zu_string_init_copy(&destination->name, &source->name);
  memset((void*)&destination->patterns, 0, sizeof(destination->patterns));
  zu_array_assign(&destination->patterns, &source->patterns);
}

const ZuArray<RuleInvocation>* rule_invocation_table(void) { return &g_invocations; }

const RuleInvocation* find_rule_invocation(u64 hash) {
  return zu_binary_search(&g_invocations, hash);
}

void tov_register_rule_invocation(const char* name, RuleInvocationHandler handler,
                                  u8 opens_files, u8 has_depfile, u8 has_rspfile,
                                  const RuleInvocationGroupDesc* groups, u64 group_count) {
  u64 hash = zu_hash(name, strlen(name));
  if (zu_binary_search(&g_invocations, hash)) return;  // the first registration wins
  RuleInvocation* invocation = zu_array_push_zeroed(&g_invocations);
  invocation->hash = hash;
  invocation->name = name;
  invocation->handler = handler;
  invocation->opens_files = opens_files;
  invocation->has_depfile = has_depfile;
  invocation->has_rspfile = has_rspfile;
  for (u64 i = 0; i < group_count; ++i) {
    RuleInvocationGroup* group = zu_array_push_zeroed(&invocation->groups);
    zu_string_init(&group->name, groups[i].name);
    for (u64 k = 0; k < groups[i].pattern_count; ++k)
      zu_string_init(zu_array_push_zeroed(&group->patterns), groups[i].patterns[k]);
  }
  zu_sort_array(&g_invocations);
}

void register_builtin_commands(void) {
  static const char* const kHeaderPatterns[] = {"*.h", "*.tov"};
  static const RuleInvocationGroupDesc kCxxGroups[] = {{"cxx_headers", kHeaderPatterns, 2}};
  tov_register_rule_invocation("copy", command_copy, 0, 0, 0, nullptr, 0);
  tov_register_rule_invocation("mirror_dir", command_mirror_dir, 0, 0, 0, nullptr, 0);
  tov_register_rule_invocation("nullterminate", command_nullterminate, 1, 0, 0, nullptr, 0);
  tov_register_rule_invocation("nullterminate_newlines", command_nullterminate_newlines, 1, 0, 0,
                               nullptr, 0);
  tov_register_rule_invocation("tov", command_pack, 0, 0, 1, nullptr, 0);
  tov_register_rule_invocation("fileinfo", command_fileinfo, 0, 0, 1, nullptr, 0);
  tov_register_rule_invocation("overlay", command_overlay, 0, 0, 1, nullptr, 0);
  tov_register_rule_invocation("fold", command_fold, 0, 0, 0, nullptr, 0);
  tov_register_rule_invocation("cxx", command_cxx, 1, 1, 0, kCxxGroups, 1);
  static const char* const kCheckingInputs[] = {"tov", "fileinfo"};
  for (const char* name : kCheckingInputs)
    ((RuleInvocation*)find_rule_invocation(zu_hash(name, strlen(name))))->checks_inputs = 1;
}
