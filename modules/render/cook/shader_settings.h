// SPDX-License-Identifier: Zlib
// A shader's settings file ("<name>.<stage>.toml" beside it), read with
// toml++ into plain values the compiler takes.
#pragma once

#include "zu_array.h"

enum ShaderOptimize : u32 { kOptimizeNone, kOptimizeSize, kOptimizePerformance };
enum ShaderTarget : u32 { kVulkan10, kVulkan11, kVulkan12, kVulkan13, kOpenGL45 };

struct ShaderSettings {
  ShaderOptimize optimize;
  ShaderTarget target;
  ZuArray<char*> define_names;   // sys_malloc'd, one value each
  ZuArray<char*> define_values;  // "" for a define without a value
};

// The defaults: optimised for speed, Vulkan 1.0, no defines.
void shader_settings_init(ShaderSettings* settings);
void shader_settings_destroy(ShaderSettings* settings);

// Reads text (the file at path) over the defaults. False, with a
// "path:line: message" line added to messages (NUL-terminated), on a TOML
// error, an unknown key or a bad value.
bool shader_settings_read(const char* path, const char* text, u64 size, ShaderSettings* settings,
                          ZuArray<char>* messages);
