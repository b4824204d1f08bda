// SPDX-License-Identifier: Zlib
// The render module: shader stages are compiled to SPIR-V ("compile_shader",
// output "<name>.spv", settings in ".shader.toml" for a folder and
// "<name>.toml" beside the source, as sprite.frag.toml for sprite.frag); other shader files (HLSL,
// WGSL, GLSL includes, SPIR-V already built) are packed as they are.
#include "compile_shader.h"
#include "engine_module.h"

void engine_module_register(void) {
  if (g_tov.register_rule_invocation)
    g_tov.register_rule_invocation("compile_shader", compile_shader, 1, 1, 0, nullptr, 0);
  u32 count;
  const char* const* stages = shader_stage_endings(&count);
  for (u32 i = 0; i < count; ++i) {
    char output[16], settings[16];
    sys_snprintf(output, sizeof(output), "%s.spv", stages[i]);
    sys_snprintf(settings, sizeof(settings), "%s.toml", stages[i]);
    engine_module_register_rule(stages[i], "compile_shader", output, TOV_TYPE_RENDER, settings,
                                ".shader.toml");
  }
  static const char* const kPacked[] = {".hlsl", ".glsl", ".spv", ".wgsl", ".shader"};
  engine_module_register_rules(kPacked, "copy", TOV_TYPE_RENDER);
}
