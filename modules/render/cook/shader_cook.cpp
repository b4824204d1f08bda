// SPDX-License-Identifier: Zlib
// render_cook.x86_64: GLSL to SPIR-V through libshaderc, checked with
// SPIRV-Tools' validator. Loaded by the compile_shader command only, so the
// compiler's megabytes are mapped by shader steps and by no other step.
#include <shaderc/shaderc.h>
#include <spirv-tools/libspirv.h>
#include <string.h>

#include "../shader_cook.h"
#include "cook_settings.h"
#include "cook_text.h"
#include "shader_settings.h"

namespace {

struct IncludeState {
  const ShaderCookRequest* request;
  ShaderCookResult* result;
};

// One answer to the compiler: the record it reads, and the bytes it points
// at, in one block.
struct IncludeAnswer {
  shaderc_include_result record;
  char* name;
  char* content;
};

char* copy_text(const char* text, u64 length) {
  char* copy = (char*)sys_malloc(length + 1);
  memcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}

// The bytes of the file prefix + name, and its path in *path; null when
// there is no such readable file.
char* read_candidate(const char* prefix, u64 prefix_length, const char* name, u64* size,
                     char** path) {
  u64 name_length = strlen(name);
  char* candidate = (char*)sys_malloc(prefix_length + name_length + 1);
  memcpy(candidate, prefix, prefix_length);
  memcpy(candidate + prefix_length, name, name_length + 1);
  ZuFile* file = (filesystem_get_attr(candidate) & ZU_ATTR_READABLE_FILE)
                     ? filesystem_file_create(candidate, 0, 0)
                     : nullptr;
  if (!file) {
    sys_free(candidate);
    return nullptr;
  }
  *size = filesystem_file_size(file);
  char* bytes = (char*)sys_malloc(*size + 1);
  *size = filesystem_file_read(file, bytes, *size);
  filesystem_file_destroy(file);
  *path = candidate;
  return bytes;
}

void note_include(ShaderCookResult* result, const char* path) {
  for (u32 i = 0; i < result->includes.count; ++i)
    if (strcmp(result->includes.data[i], path) == 0) return;
  zu_array_push(&result->includes, copy_text(path, strlen(path)));
}

// "#include "x"" looks beside the including file first, then in the include
// folders; "#include <x>" the other way round.
shaderc_include_result* resolve(void* user_data, const char* requested, int type,
                                const char* requesting, size_t depth) {
  (void)depth;
  IncludeState* state = (IncludeState*)user_data;
  const char* slash = strrchr(requesting, '/');
  u64 folder_length = slash ? (u64)(slash - requesting + 1) : 0;
  IncludeAnswer* answer = (IncludeAnswer*)sys_malloc(sizeof(IncludeAnswer));
  memset((void*)answer, 0, sizeof(*answer));
  u64 size = 0;
  char* path = nullptr;
  char* bytes = nullptr;
  bool beside_first = type == shaderc_include_type_relative;
  if (requested[0] == '/') {
    bytes = read_candidate("", 0, requested, &size, &path);
  } else {
    if (beside_first) bytes = read_candidate(requesting, folder_length, requested, &size, &path);
    for (u32 i = 0; !bytes && i < state->request->include_dir_count; ++i) {
      const char* dir = state->request->include_dirs[i];
      bytes = read_candidate(dir, strlen(dir), requested, &size, &path);
    }
    if (!bytes && !beside_first)
      bytes = read_candidate(requesting, folder_length, requested, &size, &path);
  }
  if (bytes) {
    note_include(state->result, path);
    answer->name = path;
    answer->content = bytes;
    answer->record = {path, strlen(path), bytes, size, nullptr};
  } else {
    static const char kMissing[] = "cannot find the included file";
    answer->content = copy_text(kMissing, sizeof(kMissing) - 1);
    answer->name = copy_text("", 0);
    answer->record = {answer->name, 0, answer->content, sizeof(kMissing) - 1, nullptr};
  }
  answer->record.user_data = answer;
  return &answer->record;
}

void release(void* user_data, shaderc_include_result* record) {
  (void)user_data;
  IncludeAnswer* answer = (IncludeAnswer*)record->user_data;
  sys_free(answer->name);
  sys_free(answer->content);
  sys_free(answer);
}

void add_message(ShaderCookResult* result, const char* text, u64 length) {
  cook_add_text(&result->messages, text, length);
}

// The compiler's lines, less its closing count ("1 error generated.").
void add_compiler_messages(ShaderCookResult* result, const char* text) {
  for (const char* line = text; *line;) {
    const char* end = strchr(line, '\n');
    u64 length = end ? (u64)(end - line) : strlen(line);
    bool count_line = length > 0 && line[0] >= '0' && line[0] <= '9' && length >= 10 &&
                      memcmp(line + length - 10, "generated.", 10) == 0;
    if (length > 0 && !count_line) {
      add_message(result, line, length);
      add_message(result, "\n", 1);
    }
    line += length + (end ? 1 : 0);
  }
}

const shaderc_shader_kind kKinds[] = {shaderc_vertex_shader,       shaderc_fragment_shader,
                                      shaderc_compute_shader,      shaderc_geometry_shader,
                                      shaderc_tess_control_shader, shaderc_tess_evaluation_shader};

struct Target {
  shaderc_target_env env;
  u32 version;
  spv_target_env validation;
};
const Target kTargets[] = {
    {shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_0, SPV_ENV_VULKAN_1_0},
    {shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_1, SPV_ENV_VULKAN_1_1},
    {shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_2, SPV_ENV_VULKAN_1_2},
    {shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_3, SPV_ENV_VULKAN_1_3},
    {shaderc_target_env_opengl, shaderc_env_version_opengl_4_5, SPV_ENV_OPENGL_4_5}};
const shaderc_optimization_level kLevels[] = {shaderc_optimization_level_zero,
                                              shaderc_optimization_level_size,
                                              shaderc_optimization_level_performance};

void apply(const ShaderSettings* settings, shaderc_compile_options_t options) {
  const Target* target = kTargets + settings->target;
  shaderc_compile_options_set_target_env(options, target->env, target->version);
  shaderc_compile_options_set_optimization_level(options, kLevels[settings->optimize]);
  for (u32 i = 0; i < settings->define_names.count; ++i) {
    const char* name = settings->define_names.data[i];
    const char* value = settings->define_values.data[i];
    shaderc_compile_options_add_macro_definition(options, name, strlen(name), value, strlen(value));
  }
}

bool validate(const ShaderCookRequest* request, const ShaderSettings* settings,
              ShaderCookResult* result) {
  spv_context context = spvContextCreate(kTargets[settings->target].validation);
  spv_const_binary_t binary = {(const u32*)result->spirv.data, result->spirv.count / 4};
  spv_diagnostic diagnostic = nullptr;
  bool valid = spvValidate(context, &binary, &diagnostic) == SPV_SUCCESS;
  if (!valid) {
    const char* why = diagnostic && diagnostic->error ? diagnostic->error : "rejected";
    add_message(result, request->path, strlen(request->path));
    static const char kPrefix[] = ": the compiled SPIR-V does not validate: ";
    add_message(result, kPrefix, sizeof(kPrefix) - 1);
    add_message(result, why, strlen(why));
    add_message(result, "\n", 1);
  }
  spvDiagnosticDestroy(diagnostic);
  spvContextDestroy(context);
  return valid;
}

}  // namespace

extern "C" {

ZU_EXPORT bool render_cook_shader(const ShaderCookRequest* request, ShaderCookResult* result) {
  *result = {};
  ShaderSettings settings;
  shader_settings_init(&settings);
  if (!settings_read_files(request->settings, request->settings_count, &settings, &result->messages,
                           shader_settings_read)) {
    shader_settings_destroy(&settings);
    return false;
  }
  shaderc_compiler_t compiler = shaderc_compiler_initialize();
  shaderc_compile_options_t options = shaderc_compile_options_initialize();
  if (!compiler || !options) {
    static const char kNoCompiler[] = "the shader compiler cannot start\n";
    add_message(result, kNoCompiler, sizeof(kNoCompiler) - 1);
    shaderc_compile_options_release(options);
    shaderc_compiler_release(compiler);
    shader_settings_destroy(&settings);
    return false;
  }
  IncludeState state = {request, result};
  shaderc_compile_options_set_include_callbacks(options, resolve, release, &state);
  apply(&settings, options);
  shaderc_compilation_result_t compiled =
      shaderc_compile_into_spv(compiler, request->source, request->source_size,
                               kKinds[request->stage], request->path, "main", options);
  bool ok = shaderc_result_get_compilation_status(compiled) == shaderc_compilation_status_success;
  if (ok) {
    u64 size = shaderc_result_get_length(compiled);
    zu_array_resize(&result->spirv, size);
    memcpy(result->spirv.data, shaderc_result_get_bytes(compiled), size);
    ok = validate(request, &settings, result);
  } else {
    add_compiler_messages(result, shaderc_result_get_error_message(compiled));
  }
  shaderc_result_release(compiled);
  shaderc_compile_options_release(options);
  shaderc_compiler_release(compiler);
  shader_settings_destroy(&settings);
  return ok;
}

ZU_EXPORT void render_cook_release(ShaderCookResult* result) {
  zu_array_destroy(&result->spirv);
  zu_array_destroy(&result->messages);
  for (u32 i = 0; i < result->includes.count; ++i) sys_free(result->includes.data[i]);
  zu_array_destroy(&result->includes);
}
}
