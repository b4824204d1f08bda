// SPDX-License-Identifier: Zlib
// One cook of a source held in memory, as a cooking step makes it, for the
// tests of the cooking libraries.
#pragma once

#include <string>

#include "cook_request.h"

struct Cooked {
  bool ok = false;
  CookResult result = {};
  static std::string text(const ZuArray<char>& t) { return t.count ? t.data : ""; }
  std::string messages() const { return text(result.messages); }
  std::string report() const { return text(result.report); }
  ~Cooked() { cook_result_release(&result); }
};

typedef bool (*CookFunction)(const CookRequest* request, CookResult* result);

// Cooks bytes as the source at path, with settings (none when empty) read
// from path + ".toml".
inline void cook_source(CookFunction function, const std::string& path, const std::string& bytes,
                        const std::string& settings, Cooked* cooked) {
  std::string settings_path = path + ".toml";
  SettingsFile file = {settings_path.c_str(), settings.data(), settings.size()};
  CookRequest request = {path.c_str(), (const u8*)bytes.data(), bytes.size(), &file,
                         settings.empty() ? 0u : 1u};
  cooked->ok = function(&request, &cooked->result);
}
