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

void engine_module_register_cooking(const char* command, RuleInvocationHandler handler,
                                    const char* const* endings, u32 count,
                                    const char* output_ending, u16 type,
                                    const char* folder_settings) {
  if (g_tov.register_rule_invocation)
    g_tov.register_rule_invocation(command, handler, 1, 0, 0, nullptr, 0);
  for (u32 i = 0; i < count; ++i) {
    char settings[64];
    sys_snprintf(settings, sizeof(settings), "%s.toml", endings[i]);
    engine_module_register_rule(endings[i], command, output_ending, type, settings,
                                folder_settings);
  }
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
  static ZuShared* loaded = shared_shared_create(library, 1 | ZU_SHARED_LAZY, zu_host());
  if (!loaded)
    sys_exit(-1, "ERROR: Couldn't load the cooking library '%s' (%s)", library,
             shared_shared_last_error());
  void* found = shared_shared_load_function(loaded, function);
  if (!found) sys_exit(-1, "ERROR: The cooking library '%s' lacks '%s'", library, function);
  return found;
}

u32 engine_module_cook(CommandContext* context, const char* command, const char* kind,
                       const char* library, const char* cook, const char* release) {
  if (context->input_count < 1 || context->input_count > 3 || context->output_count != 1)
    sys_exit(-1, "'%s' expects a %s, its settings files if any, and one output", command, kind);
  const CommandInput* input = context->inputs;
  SettingsFile settings[2];
  CookRequest request = {input->path, input->data.data, input->data.count, settings,
                         engine_module_settings_files(context, settings, 2)};
  CookResult result;
  auto cook_function = (CookFunction)engine_module_cook_function(library, cook);
  auto release_function = (CookRelease)engine_module_cook_function(library, release);
  if (!cook_function(&request, &result))
    sys_exit(-1, "%sERROR: Couldn't cook %s '%s'",
             result.messages.count ? result.messages.data : "", kind, input->path);
  // The tool's own flag: a module cannot register it a second time.
  CommandOption* verbose = command_option_find("tov-verbose");
  if (verbose && command_option_is_set(&verbose) && result.report.count)
    sys_printf("%s", result.report.data);
  if (filesystem_file_write(context->outputs[0].file, result.output.data, result.output.count) !=
      result.output.count)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", context->outputs[0].path);
  release_function(&result);
  return 0;
}
