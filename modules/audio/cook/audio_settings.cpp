// SPDX-License-Identifier: Zlib
// Sound settings in TOML; every key is optional and checked:
//
//     mode = "opus"         # or "pcm": 16-bit samples, no decoder needed
//     bitrate = 96          # kbit/s of the Opus stream, 6 to 510
//     channels = 1          # 1 or 2 (mono is the mean of all channels)
//     sample_rate = 22050   # pcm only (Opus always decodes at 48000)
#include "audio_settings.h"

#include "cook_settings.h"

void audio_settings_init(AudioSettings* settings) { *settings = {}; }

bool audio_settings_read(const char* path, const char* text, u64 size, AudioSettings* settings,
                         ZuArray<char>* messages) {
  return settings_read_keys(
      path, text, size, messages,
      [&](const std::string& name, const toml::key& key, const toml::node& node) {
        i64 number = 0;
        bool ok;
        if (name == "mode") {
          static const char* const kModes[] = {"opus", "pcm"};
          u32 mode = 0;
          ok = settings_choose(node, "mode", kModes, 2, &mode, path, messages);
          settings->mode = (AudioMode)mode;
        } else if (name == "bitrate") {
          ok = settings_number(node, "bitrate", 6, 510, &number, path, messages);
          settings->bitrate = (u32)number;
        } else if (name == "channels") {
          ok = settings_number(node, "channels", 1, 2, &number, path, messages);
          settings->channels = (u32)number;
        } else if (name == "sample_rate") {
          ok = settings_number(node, "sample_rate", 8000, 192000, &number, path, messages);
          settings->sample_rate = (u32)number;
        } else {
          ok = settings_fail(
              messages, path, key.source().begin.line,
              "unknown setting '" + name + "' (sounds know mode, bitrate, channels, sample_rate)");
        }
        return ok;
      });
}
