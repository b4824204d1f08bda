// SPDX-License-Identifier: Zlib
// The "compile_shader" command: a GLSL stage (.vert, .frag, .comp, .geom,
// .tesc, .tese) becomes "<name>.spv", SPIR-V for Vulkan. The compiler lives
// in render_cook.x86_64, loaded here, when a shader step runs. The depfile
// names every file an #include read, so a changed include rebuilds.
#include "compile_shader.h"

#include "command_option.h"
#include "engine_module.h"
#include "shader_cook.h"

ZU_COMMAND_OPTION(g_shader_depfile, 0, "tov-shader-depfile",
                  "Output depfile for 'compile_shader' builds (the files its #includes read)",
                  kOptionOne, kOptionString);

namespace {

struct StageEnding {
  const char* ending;
  ShaderStage stage;
};
const StageEnding kStages[] = {{".vert", kShaderVertex},      {".frag", kShaderFragment},
                               {".comp", kShaderCompute},     {".geom", kShaderGeometry},
                               {".tesc", kShaderTessControl}, {".tese", kShaderTessEvaluation}};

}  // namespace

const char* const* shader_stage_endings(u32* count) {
  static const char* endings[sizeof(kStages) / sizeof(kStages[0])];
  *count = sizeof(kStages) / sizeof(kStages[0]);
  for (u32 i = 0; i < *count; ++i) endings[i] = kStages[i].ending;
  return endings;
}

u32 compile_shader(CommandContext* context) {
  if (context->input_count < 1 || context->input_count > 3 || context->output_count != 1)
    sys_exit(-1, "'compile_shader' expects a shader, its settings files if any, and one output");
  CommandInput* input = context->inputs;
  const StageEnding* stage = nullptr;
  for (const StageEnding& candidate : kStages)
    if (sys_strend(input->path, candidate.ending)) stage = &candidate;
  if (!stage)
    sys_exit(-1, "ERROR: '%s' is no shader stage (.vert .frag .comp .geom .tesc .tese)",
             input->path);
  char sdk_includes[2048];
  sys_snprintf(sdk_includes, sizeof(sdk_includes), "%sinclude/shaders/", context->sdk_dir);
  const char* include_dirs[] = {sdk_includes};
  SettingsFile settings[2];
  ShaderCookRequest request = {
      input->path,       (const char*)input->data.data,
      input->data.count, stage->stage,
      include_dirs,      1,
      settings,          engine_module_settings_files(context, settings, 2)};
  auto cook = (RenderCookShader)engine_module_cook_function("render_cook", "render_cook_shader");
  auto release =
      (RenderCookRelease)engine_module_cook_function("render_cook", "render_cook_release");
  ShaderCookResult result;
  if (!cook(&request, &result)) {
    // The compiler's own "file:line: error: ..." lines, then the step fails.
    sys_exit(-1, "%sERROR: Couldn't compile shader '%s'",
             result.messages.count ? result.messages.data : "", input->path);
  }
  if (filesystem_file_write(context->outputs[0].file, result.spirv.data, result.spirv.count) !=
      result.spirv.count)
    sys_exit(-1, "ERROR: Couldn't write '%s' (is the disk full?)", context->outputs[0].path);
  if (command_option_is_set(&g_shader_depfile)) {
    if (!g_tov.write_depfile) sys_exit(-1, "ERROR: The tool does not write depfiles");
    g_tov.write_depfile(zu_string_text(command_option_value(&g_shader_depfile, 0)),
                        context->outputs[0].path, "", result.includes.data, result.includes.count);
  }
  release(&result);
  return 0;
}
