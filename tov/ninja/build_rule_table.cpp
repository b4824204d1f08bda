// SPDX-License-Identifier: Zlib
#include "build_rule_table.h"

#include "log.h"
#include "zu_sort.h"

namespace {
ZuArray<BuildRule> g_rules;
// The table's size after each registration whose sort is still owed. Only
// generation reads the table, so a command run never sorts; the sorts are
// made at the first read, in order, so that rules of equal endings stand
// as one sort after each registration would have left them.
ZuArray<u32> g_sorts_owed;
BuildRule g_fallback;
bool g_has_fallback;

u64 ending_hash_of(const BuildRule* rule) { return rule->ending_hash; }

void settle(void) {
  for (u32 i = 0; i < g_sorts_owed.count; ++i)
    if (g_sorts_owed.data[i] > 1)
      zu_sort_by(g_rules.data, g_rules.data + g_sorts_owed.data[i] - 1, ending_hash_of);
  g_sorts_owed.count = 0;
}
}  // namespace

void build_rule_make(BuildRule* rule, const char* ending, const char* command,
                     const char* output_ending, u16 type) {
  memset((void*)rule, 0, sizeof(*rule));
  zu_string_init(&rule->ending, ending);
  zu_string_init(&rule->command, command);
  zu_string_init_empty(&rule->invocation);
  rule->ending_hash = zu_hash(ending, strlen(ending));
  BuildRuleOutput* output = zu_array_push_zeroed(&rule->outputs);
  zu_string_init(&output->ending, output_ending);
  output->type = type;
  output->chain = 0;
  output->pack = 1;
}

const char* file_ending(const char* name) {
  const char* slash = sys_strrchr(name, '/');
  return sys_strchr(slash ? slash + 1 : name, '.');
}

const ZuArray<BuildRule>* build_rule_table(void) {
  settle();
  return &g_rules;
}

void build_rule_set_fallback(const BuildRule* rule) {
  if (g_has_fallback) zu_destroy(&g_fallback);
  zu_copy(&g_fallback, rule);
  g_has_fallback = true;
}

bool build_rule_has_fallback(void) { return g_has_fallback; }

void tov_register_build_rule(const BuildRule* rules, u64 count) {
  // The records may lie inside the table: copy them before the block moves.
  ZuArray<BuildRule> copies = {};
  zu_array_assign_range(&copies, rules, rules + count);
  zu_array_reserve(&g_rules, (u64)g_rules.count + count);
  memcpy((void*)(g_rules.data + g_rules.count), (const void*)copies.data,
         count * sizeof(BuildRule));
  g_rules.count += (u32)count;
  sys_free(copies.data);  // the table owns the copies' parts now
  zu_array_push(&g_sorts_owed, g_rules.count);
}

bool find_build_rules(const char* source, const char* ending, const BuildRule** first,
                      const BuildRule** end) {
  settle();
  u64 hash = zu_hash(ending, strlen(ending));
  const BuildRule* hit = zu_binary_search_by(&g_rules, hash, ending_hash_of);
  if (hit) {
    const BuildRule* begin = g_rules.data;
    const BuildRule* stop = g_rules.data + g_rules.count;
    const BuildRule* low = hit;
    const BuildRule* high = hit + 1;
    while (low > begin && low[-1].ending_hash >= hash) --low;
    while (high < stop && high->ending_hash <= hash) ++high;
    *first = low;
    *end = high;
    return true;
  }
  for (u32 i = 0; i < g_rules.count; ++i) {
    const ZuArray<BuildRuleExtraInput>* inputs = &g_rules.data[i].extra_inputs;
    for (u32 k = 0; k < inputs->count; ++k)
      if (inputs->data[k].suffix_hash == hash) return false;  // an extra input of a rule
  }
  if (g_has_fallback) {
    *first = &g_fallback;
    *end = &g_fallback + 1;
    return true;
  }
  TOV_LOG("ERROR: No rules found that matches filename '%s' with ending '%s'\n", source, ending);
  for (u32 i = 0; i < g_rules.count; ++i) {
    const char* known = zu_string_text(&g_rules.data[i].ending);
    if (sys_strend(known, ending)) TOV_LOG("Did you mean '%s' instead of '%s'?\n", known, ending);
  }
  sys_exit(-1, "ERROR: No rules found that matches filename '%s', aborting...", source);
}

void register_builtin_build_rules(void) {
  struct Builtin {
    const char* ending;
    const char* command;
    const char* output;
    u16 type;
  };
  static const Builtin kBuiltins[] = {
      {".h", "nullterminate", ".h", TOV_TYPE_HEADER},
      {".gen.h", "nullterminate", ".gen.h", TOV_TYPE_HEADER},
      {".cpp", "nullterminate", ".cpp", TOV_TYPE_SOURCE},
      {".c", "nullterminate", ".c", TOV_TYPE_SOURCE},
      {".strtbl", "nullterminate_newlines", ".strtbl", TOV_TYPE_STRING_TABLE},
      {".bin", "copy", ".bin", TOV_TYPE_DATA},
      {".data.cpp", "cxx", ".bin", TOV_TYPE_DATA},
      {".tov", "copy", ".tov", TOV_TYPE_ARCHIVE},
  };
  constexpr u32 kCount = sizeof(kBuiltins) / sizeof(kBuiltins[0]);
  BuildRule rules[kCount];
  for (u32 i = 0; i < kCount; ++i)
    build_rule_make(rules + i, kBuiltins[i].ending, kBuiltins[i].command, kBuiltins[i].output,
                    kBuiltins[i].type);
  tov_register_build_rule(rules, kCount);
  for (BuildRule& rule : rules) zu_destroy(&rule);
}
