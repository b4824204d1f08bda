// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <sndfile.h>

#include "cooked.h"
#include "test_support.h"

extern "C" bool audio_cook_sound(const CookRequest* request, CookResult* result);
extern "C" bool font_cook_font(const CookRequest* request, CookResult* result);
extern "C" bool model_cook_mesh(const CookRequest* request, CookResult* result);

// Broken sources and bad settings fail naming the file (and the line).
TEST(CookFailures, NameTheFile) {
  std::string wav = make_sound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 3, 800,
                               [](u64 f, u32) { return (float)(f % 16) / 32; });
  std::string font = read_file(kExampleFont);
  std::string crate = read_file(source_dir() + "examples/assets/models/crate.obj");
  struct Case {
    CookFunction cook;
    std::string name, source, settings, message;
  } cases[] = {
      {audio_cook_sound, "s.wav", "RIFF, but not really", "", "s.wav: is not a sound libsndfile"},
      {audio_cook_sound, "s.wav", wav, "bitrate = 1000\n",
       "s.wav.toml:1: 'bitrate' must be a whole number from 6 to 510"},
      {audio_cook_sound, "s.wav", wav, "\nvolume = 2\n", "s.wav.toml:2: unknown setting 'volume'"},
      {audio_cook_sound, "s.wav", wav, "channels = 2\n",
       "s.wav: has 3 channels; only mono or mono to stereo is mixed"},
      {font_cook_font, "ui.ttf", "not a font", "", "ui.ttf: is not a font FreeType reads\n"},
      {font_cook_font, "ui.ttf", font, "characters = [\"A\", \"\xe2\x98\x83\"]\n",
       "ui.ttf: has no glyph for U+2603\n"},
      {font_cook_font, "ui.ttf", font, "spread = 99\n",
       "ui.ttf.toml:1: 'spread' must be a whole number from 2 to 32\n"},
      {model_cook_mesh, "a.glb", std::string("glTF\x02\0\0\0", 8), "",
       "a.glb: cannot be imported: "},
      {model_cook_mesh, "b.obj", "v 0 0 0\nv 1 0 0\nl 1 2\n", "", "b.obj: cannot be imported: "},
      {model_cook_mesh, "c.fbx", std::string("Kaydara FBX Binary  \0 cut short", 31), "",
       "c.fbx: cannot be imported: "},
      {model_cook_mesh, "d.obj", crate, "lod_count = 9\n",
       "d.obj.toml:1: 'lod_count' must be a whole number"},
      {model_cook_mesh, "f.obj", crate, "\nquantize = \"yes\"\n",
       "f.obj.toml:2: 'quantize' must be true or false"},
  };
  for (const Case& c : cases) {
    Cooked cooked;
    cook_source(c.cook, c.name, c.source, c.settings, &cooked);
    EXPECT_FALSE(cooked.ok) << c.message;
    EXPECT_EQ(cooked.messages().find(c.message), 0u) << cooked.messages();
  }
}
