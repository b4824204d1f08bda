// SPDX-License-Identifier: Zlib
// A sound's settings file (".audio.toml" for a folder, "<name>.toml" beside
// the sound, as hit.wav.toml).
#pragma once

#include "zu_array.h"

enum AudioMode : u32 { kAudioOpus, kAudioPcm };

struct AudioSettings {
  AudioMode mode;
  u32 bitrate;      // kbit/s; 0: 64 per channel, 96 for a stereo pair
  u32 channels;     // 0: the source's
  u32 sample_rate;  // pcm only; 0: the source's
};

// The defaults: Opus at the default bitrate, the source's channels.
void audio_settings_init(AudioSettings* settings);

// Reads text (the file at path) over the settings so far; false with a
// "path:line: message" line in messages on a TOML error, an unknown key or
// a bad value.
bool audio_settings_read(const char* path, const char* text, u64 size, AudioSettings* settings,
                         ZuArray<char>* messages);
