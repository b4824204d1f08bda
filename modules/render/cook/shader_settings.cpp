// SPDX-License-Identifier: Zlib
// Shader settings in TOML:
//
//     optimize = "performance"      # "none", "size" or "performance"
//     target = "vulkan1.0"          # "vulkan1.0" to "vulkan1.3", "opengl4.5"
//     [defines]                     # as #define NAME VALUE before the source
//     QUALITY = 2
//     USE_FOG = true                # true: defined as 1; false: not defined
//
// Every key is checked: a misspelt one is an error naming its line, not a
// setting silently ignored.
#include "shader_settings.h"

#include <string.h>

#include "cook_settings.h"

namespace {

char* copy_text(const std::string& text) {
  char* copy = (char*)sys_malloc(text.size() + 1);
  memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

const char* const kOptimizeNames[] = {"none", "size", "performance"};
const char* const kTargetNames[] = {"vulkan1.0", "vulkan1.1", "vulkan1.2", "vulkan1.3",
                                    "opengl4.5"};

bool read_defines(const toml::table& defines, ShaderSettings* settings, const char* path,
                  ZuArray<char>* messages) {
  for (const auto& [key, node] : defines) {
    std::string name(key.str()), value;
    u32 line = node.source().begin.line;
    // A define the folder's file set is replaced, or with false removed, by
    // the shader's own.
    u32 at = 0;
    while (at < settings->define_names.count && name != settings->define_names.data[at]) ++at;
    if (const auto* flag = node.as_boolean()) {
      if (!flag->get()) {
        if (at < settings->define_names.count) {
          sys_free(settings->define_names.data[at]);
          sys_free(settings->define_values.data[at]);
          zu_array_remove(&settings->define_names, at);
          zu_array_remove(&settings->define_values, at);
        }
        continue;
      }
      value = "1";
    } else if (const auto* number = node.as_integer()) {
      value = std::to_string(number->get());
    } else if (const auto* text = node.as_string()) {
      if (text->get().find('\n') != std::string::npos)
        return settings_fail(messages, path, line, "define '" + name + "' must be one line");
      value = text->get();
    } else {
      return settings_fail(messages, path, line,
                           "define '" + name + "' must be true, false, a whole number or text");
    }
    if (at == settings->define_names.count) {
      zu_array_push(&settings->define_names, copy_text(name));
      zu_array_push(&settings->define_values, copy_text(value));
    } else {
      sys_free(settings->define_values.data[at]);
      settings->define_values.data[at] = copy_text(value);
    }
  }
  return true;
}

}  // namespace

void shader_settings_init(ShaderSettings* settings) {
  *settings = {};
  settings->optimize = kOptimizePerformance;
  settings->target = kVulkan10;
}

void shader_settings_destroy(ShaderSettings* settings) {
  for (u32 i = 0; i < settings->define_names.count; ++i) {
    sys_free(settings->define_names.data[i]);
    sys_free(settings->define_values.data[i]);
  }
  zu_array_destroy(&settings->define_names);
  zu_array_destroy(&settings->define_values);
}

bool shader_settings_read(const char* path, const char* text, u64 size, ShaderSettings* settings,
                          ZuArray<char>* messages) {
  return settings_read_keys(
      path, text, size, messages,
      [&](const std::string& name, const toml::key& key, const toml::node& node) {
        bool ok;
        if (name == "optimize") {
          ok = settings_choose(node, "optimize", kOptimizeNames, 3, (u32*)&settings->optimize, path,
                               messages);
        } else if (name == "target") {
          ok = settings_choose(node, "target", kTargetNames, 5, (u32*)&settings->target, path,
                               messages);
        } else if (name == "defines") {
          ok = node.as_table() ? read_defines(*node.as_table(), settings, path, messages)
                               : settings_fail(messages, path, key.source().begin.line,
                                               "'defines' must be a table");
        } else {
          ok = settings_fail(
              messages, path, key.source().begin.line,
              "unknown setting '" + name + "' (shaders know optimize, target, defines)");
        }
        return ok;
      });
}
