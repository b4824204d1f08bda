// SPDX-License-Identifier: Zlib
#include "engine_module.h"

#include "zu_string.h"

EngineModuleLink g_tov;

void engine_module_register_rule(const char* ending, const char* command, const char* output_ending,
                                 u16 type, const char* settings_suffix) {
  if (!g_tov.register_build_rule) return;
  BuildRule rule = {};
  zu_string_init(&rule.ending, ending);
  zu_string_init(&rule.command, command);
  zu_string_init_empty(&rule.invocation);
  rule.ending_hash = zu_hash(ending, strlen(ending));
  BuildRuleOutput* output = zu_array_push_zeroed(&rule.outputs);
  zu_string_init(&output->ending, output_ending);
  output->type = type;
  output->pack = 1;
  if (settings_suffix) {
    BuildRuleExtraInput* settings = zu_array_push_zeroed(&rule.extra_inputs);
    zu_string_init(&settings->suffix, settings_suffix);
    settings->suffix_hash = zu_hash(settings_suffix, strlen(settings_suffix));
  }
  g_tov.register_build_rule(&rule, 1);  // the table keeps a copy
  zu_destroy(&rule);
}

void engine_module_register_rules(const char* const* endings, u32 count, const char* command,
                                  u16 type) {
  for (u32 i = 0; i < count; ++i)
    engine_module_register_rule(endings[i], command, endings[i], type);
}
