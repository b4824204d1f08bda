// SPDX-License-Identifier: Zlib
// The entity module: entity data files. JSON is checked and minified by its
// own command, "minify_json" (the worked example of a module's command);
// YAML and TOML are packed as they are.
#include "engine_module.h"
#include "json_minify.h"

namespace {

// Reads the input whole, checks and minifies it, and only then writes the
// output, so bad input leaves no output behind.
u32 minify_json(CommandContext* context) {
  if (context->input_count != 1 || context->output_count != 1)
    sys_exit(-1, "'minify_json' expects exactly one input and one output");
  const char* path = context->inputs[0].path;
  ZuFile* in = filesystem_file_create(path, 0, 0);
  if (!in) sys_exit(-1, "ERROR: Couldn't open '%s' for reading", path);
  u64 size = filesystem_file_size(in);
  char* text = (char*)sys_malloc(size + 1);
  size = filesystem_file_read(in, text, size);
  filesystem_file_destroy(in);
  ZuArray<char> minified = {};
  JsonError error;
  if (!json_minify(text, size, &minified, &error))
    sys_exit(-1, "ERROR: %s:%u:%u: %s", path, error.line, error.column, error.message);
  const char* out_path = context->outputs[0].path;
  ZuFile* out = filesystem_file_create(out_path, 1, 0);
  if (!out) sys_exit(-1, "ERROR: Couldn't open '%s' for writing", out_path);
  bool ok = filesystem_file_write(out, minified.data, minified.count) == minified.count;
  if (!filesystem_file_destroy(out) || !ok)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", out_path);
  zu_array_destroy(&minified);
  sys_free(text);
  return 0;
}

}  // namespace

void engine_module_register(void) {
  if (g_tov.register_rule_invocation)
    g_tov.register_rule_invocation("minify_json", minify_json, 0, 0, 0, nullptr, 0);
  static const char* const kJson[] = {".json"};
  engine_module_register_rules(kJson, "minify_json", TOV_TYPE_ENTITY);
  static const char* const kEndings[] = {".yaml", ".yml", ".toml"};
  engine_module_register_rules(kEndings, "copy", TOV_TYPE_ENTITY);
}
