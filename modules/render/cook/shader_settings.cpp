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
#define TOML_EXCEPTIONS 0
#include "shader_settings.h"

#include <stdio.h>
#include <string.h>

#include <toml++/toml.h>

namespace {

char* copy_text(const char* text) {
  u64 length = strlen(text);
  char* copy = (char*)sys_malloc(length + 1);
  memcpy(copy, text, length + 1);
  return copy;
}

// Adds "path:line: message" to messages; false, for the callers' returns.
bool fail(ZuArray<char>* messages, const char* path, u32 line, const std::string& message) {
  std::string text = std::string(path) + ":" + std::to_string(line) + ": " + message + "\n";
  if (messages->count) --messages->count;  // the terminator
  for (char c : text) zu_array_push(messages, c);
  zu_array_push(messages, '\0');
  return false;
}

template <class Choice>
bool choose(const toml::node& node, const char* key, const char* const* names, u32 count,
            Choice* out, const char* path, ZuArray<char>* messages, const char* allowed) {
  const toml::value<std::string>* text = node.as_string();
  if (text) {
    for (u32 i = 0; i < count; ++i) {
      if (text->get() == names[i]) {
        *out = (Choice)i;
        return true;
      }
    }
  }
  return fail(messages, path, node.source().begin.line,
              "'" + std::string(key) + "' must be one of " + allowed);
}

const char* const kOptimizeNames[] = {"none", "size", "performance"};
const char* const kTargetNames[] = {"vulkan1.0", "vulkan1.1", "vulkan1.2", "vulkan1.3",
                                    "opengl4.5"};

bool read_defines(const toml::table& defines, ShaderSettings* settings, const char* path,
                  ZuArray<char>* messages) {
  for (const auto& [key, node] : defines) {
    std::string name(key.str());
    char value[64];
    if (const auto* flag = node.as_boolean()) {
      if (!flag->get()) continue;
      snprintf(value, sizeof(value), "1");
    } else if (const auto* number = node.as_integer()) {
      snprintf(value, sizeof(value), "%lld", (long long)number->get());
    } else if (const auto* text = node.as_string()) {
      if (text->get().find('\n') != std::string::npos)
        return fail(messages, path, node.source().begin.line,
                    "define '" + name + "' must be one line of text");
      zu_array_push(&settings->define_names, copy_text(name.c_str()));
      zu_array_push(&settings->define_values, copy_text(text->get().c_str()));
      continue;
    } else {
      return fail(messages, path, node.source().begin.line,
                  "define '" + name + "' must be true, false, a whole number or text");
    }
    zu_array_push(&settings->define_names, copy_text(name.c_str()));
    zu_array_push(&settings->define_values, copy_text(value));
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
  toml::parse_result parsed = toml::parse(std::string_view(text, size), std::string_view(path));
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return fail(messages, path, error.source().begin.line, std::string(error.description()));
  }
  for (const auto& [key, node] : parsed.table()) {
    std::string name(key.str());
    u32 line = key.source().begin.line;
    bool ok;
    if (name == "optimize") {
      ok = choose(node, "optimize", kOptimizeNames, 3, &settings->optimize, path, messages,
                  "\"none\", \"size\", \"performance\"");
    } else if (name == "target") {
      ok = choose(node, "target", kTargetNames, 5, &settings->target, path, messages,
                  "\"vulkan1.0\", \"vulkan1.1\", \"vulkan1.2\", \"vulkan1.3\", \"opengl4.5\"");
    } else if (name == "defines") {
      ok = node.as_table() ? read_defines(*node.as_table(), settings, path, messages)
                           : fail(messages, path, line, "'defines' must be a table");
    } else {
      ok = fail(messages, path, line,
                "unknown setting '" + name + "' (shaders know optimize, target and defines)");
    }
    if (!ok) return false;
  }
  return true;
}
