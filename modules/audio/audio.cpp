// SPDX-License-Identifier: Zlib
// The audio module: WAV, FLAC, Ogg Vorbis and AIFF sources are cooked into
// Ogg Opus, or 16-bit PCM for effects that must start at once ("cook_audio",
// output "<stem>.opus", settings in ".audio.toml" for a folder and
// "<name>.toml" beside the source, as hit.wav.toml for hit.wav); MP3 and
// Opus are packed as they are. libsndfile, libsoxr and libopusenc live in
// audio_cook.x86_64, loaded only when a sound cooks.
#include "engine_module.h"

namespace {

u32 cook_audio(CommandContext* context) {
  return engine_module_cook(context, "cook_audio", "sound", "audio_cook", "audio_cook_sound",
                            "audio_cook_release");
}

}  // namespace

void engine_module_register(void) {
  static const char* const kCooked[] = {".wav", ".flac", ".ogg", ".aiff", ".aif"};
  engine_module_register_cooking("cook_audio", cook_audio, kCooked, ".opus", TOV_TYPE_AUDIO,
                                 ".audio.toml");
  static const char* const kPacked[] = {".mp3", ".opus"};
  engine_module_register_rules(kPacked, "copy", TOV_TYPE_AUDIO);
}
