// SPDX-License-Identifier: Zlib
// One cook of a source held in memory, as a cooking step makes it, for the
// tests of the cooking libraries.
#pragma once

#include <functional>
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

using Signal = std::function<float(u64 frame, u32 channel)>;

// A source file in a format libsndfile writes (SF_FORMAT_*), as bytes.
std::string make_sound(int format, u32 rate, u32 channels, u64 frames, const Signal& signal);

const std::string kExampleFont =
    std::string(TOV_SOURCE_DIR) + "/examples/assets/fonts/dejavu_sans_extralight.ttf";
