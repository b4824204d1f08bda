// SPDX-License-Identifier: Zlib
#include "engine_module.h"

#include "command_option.h"
#include "zu_string.h"

EngineModuleLink g_tov;

namespace {

void add_settings_input(BuildRule* rule, const char* suffix, bool in_folder) {
  BuildRuleExtraInput* settings = zu_array_push_zeroed(&rule->extra_inputs);
  zu_string_init(&settings->suffix, suffix);
  settings->suffix_hash = zu_hash(suffix, strlen(suffix));
  settings->in_folder = in_folder;
}

}  // namespace

void engine_module_register_rule(const char* ending, const char* command, const char* output_ending,
                                 u16 type, const char* settings_suffix,
                                 const char* folder_settings) {
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
  // The folder's settings first, so that a source's own override them.
  if (folder_settings) add_settings_input(&rule, folder_settings, true);
  if (settings_suffix) add_settings_input(&rule, settings_suffix, false);
  g_tov.register_build_rule(&rule, 1);  // the table keeps a copy
  zu_destroy(&rule);
}

void engine_module_register_rules(const char* const* endings, u32 count, const char* command,
                                  u16 type) {
  for (u32 i = 0; i < count; ++i)
    engine_module_register_rule(endings[i], command, endings[i], type);
}

u32 engine_module_settings_files(const CommandContext* context, SettingsFile* out, u32 capacity) {
  u32 count = 0;
  for (u64 i = 1; i < context->input_count && count < capacity; ++i) {
    const CommandInput* input = context->inputs + i;
    out[count++] = {input->path, (const char*)input->data.data, input->data.count};
  }
  return count;
}

void* engine_module_cook_function(const char* library, const char* function) {
  // Loaded once and never unloaded: codecs may keep threads running
  // (libsquish's OpenMP workers), which must not lose their code. A module
  // has one cooking library, so one handle serves.
  static ZuShared* loaded = shared_shared_create(library, 1, zu_host());
  if (!loaded)
    sys_exit(-1, "ERROR: Couldn't load the cooking library '%s' (%s)", library,
             shared_shared_last_error());
  void* found = shared_shared_load_function(loaded, function);
  if (!found) sys_exit(-1, "ERROR: The cooking library '%s' lacks '%s'", library, function);
  return found;
}
