// SPDX-License-Identifier: Zlib
// Between the render module and its cooking library (render_cook.x86_64),
// which holds the shader compiler and validator and is loaded only by the
// compile_shader command: every other step starts without them.
#pragma once

#include "cook_request.h"
#include "zu_array.h"

enum ShaderStage : u32 {
  kShaderVertex,
  kShaderFragment,
  kShaderCompute,
  kShaderGeometry,
  kShaderTessControl,
  kShaderTessEvaluation,
};

struct ShaderCookRequest {
  const char* path;  // as named in messages; "#include" starts from its folder
  const char* source;
  u64 source_size;
  ShaderStage stage;
  const char* const* include_dirs;  // searched after the including file's folder
  u32 include_dir_count;
  const SettingsFile* settings;  // the folder's, then the shader's own
  u32 settings_count;
};

// Owned by the caller; filled by the library with sys_malloc'd memory and
// released with render_cook_release.
struct ShaderCookResult {
  ZuArray<u8> spirv;
  ZuArray<char> messages;   // "file:line: message" lines; NUL-terminated when any
  ZuArray<char*> includes;  // every file an #include read, once each
};

extern "C" {
// False, with messages, when the source does not compile or its SPIR-V does
// not validate.
typedef bool (*RenderCookShader)(const ShaderCookRequest* request, ShaderCookResult* result);
typedef void (*RenderCookRelease)(ShaderCookResult* result);
}
