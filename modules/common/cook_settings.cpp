// SPDX-License-Identifier: Zlib
#include "cook_settings.h"

#include <stdio.h>

#include "cook_text.h"

bool settings_fail(ZuArray<char>* messages, const char* path, u32 line,
                   const std::string& message) {
  std::string text = std::string(path) + ":" + std::to_string(line) + ": " + message + "\n";
  cook_add_text(messages, text.data(), text.size());
  return false;
}

bool settings_choose(const toml::node& node, const char* key, const char* const* names, u32 count,
                     u32* out, const char* path, ZuArray<char>* messages) {
  if (const toml::value<std::string>* text = node.as_string()) {
    for (u32 i = 0; i < count; ++i) {
      if (text->get() == names[i]) {
        *out = i;
        return true;
      }
    }
  }
  std::string allowed;
  for (u32 i = 0; i < count; ++i) allowed += (i ? ", \"" : "\"") + std::string(names[i]) + "\"";
  return settings_fail(messages, path, node.source().begin.line,
                       "'" + std::string(key) + "' must be one of " + allowed);
}

bool settings_parse(const char* path, const char* text, u64 size, toml::table* table,
                    ZuArray<char>* messages) {
  toml::parse_result parsed = toml::parse(std::string_view(text, size), std::string_view(path));
  if (!parsed) {
    return settings_fail(messages, path, parsed.error().source().begin.line,
                         std::string(parsed.error().description()));
  }
  *table = std::move(parsed.table());
  return true;
}

bool settings_number(const toml::node& node, const char* key, i64 low, i64 high, i64* out,
                     const char* path, ZuArray<char>* messages) {
  const toml::value<int64_t>* number = node.as_integer();
  if (!number || number->get() < low || number->get() > high)
    return settings_fail(messages, path, node.source().begin.line,
                         "'" + std::string(key) + "' must be a whole number from " +
                             std::to_string(low) + " to " + std::to_string(high));
  *out = number->get();
  return true;
}

bool settings_real(const toml::node& node, const char* key, double low, double high, double* out,
                   const char* path, ZuArray<char>* messages) {
  std::optional<double> number = node.value<double>();  // an integer converts too
  if (!number || !(*number >= low && *number <= high)) {
    char range[96];
    snprintf(range, sizeof(range), " must be a number from %g to %g", low, high);
    return settings_fail(messages, path, node.source().begin.line,
                         "'" + std::string(key) + "'" + range);
  }
  *out = *number;
  return true;
}

bool settings_flag(const toml::node& node, const char* key, bool* out, const char* path,
                   ZuArray<char>* messages) {
  const toml::value<bool>* flag = node.as_boolean();
  if (!flag)
    return settings_fail(messages, path, node.source().begin.line,
                         "'" + std::string(key) + "' must be true or false");
  *out = flag->get();
  return true;
}
