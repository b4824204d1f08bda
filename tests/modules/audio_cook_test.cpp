// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <math.h>
#include <opus/opusfile.h>
#include <sndfile.h>

#include <string>
#include <vector>

#include "cooked.h"
#include "test_support.h"
#include "tov/tov_archive.h"

extern "C" bool audio_cook_sound(const CookRequest* request, CookResult* result);

std::string make_sound(int format, u32 rate, u32 channels, u64 frames, const Signal& signal) {
  std::string path = testing::TempDir() + "/audio_cook_source";
  SF_INFO info = {};
  info.samplerate = (int)rate;
  info.channels = (int)channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
  std::vector<float> samples(frames * channels);
  for (u64 f = 0; f < frames; ++f)
    for (u32 c = 0; c < channels; ++c) samples[f * channels + c] = signal(f, c);
  sf_writef_float(file, samples.data(), (sf_count_t)frames);
  sf_close(file);
  return read_file(path);
}

namespace {

Signal tone(double hertz, u32 rate, float level = 0.5f) {
  return [=](u64 frame, u32) { return level * (float)sin(2 * M_PI * hertz * frame / rate); };
}

void cook(const std::string& bytes, const std::string& settings, Cooked* cooked) {
  cook_source(audio_cook_sound, "song.wav", bytes, settings, cooked);
}

// Sign changes of one channel: twice the frequency over a second.
u32 zero_crossings(const std::vector<float>& samples, u32 channels, u64 first, u64 count) {
  u32 crossings = 0;
  for (u64 f = first + 1; f < first + count; ++f)
    crossings += (samples[(f - 1) * channels] < 0) != (samples[f * channels] < 0);
  return crossings;
}

}  // namespace

// Every source format becomes Ogg Opus that decodes to the source's length
// (within one 20 ms frame) and channels, at 48 kHz, its pitch kept through
// the resampling.
TEST(AudioCook, OpusKeepsLengthChannelsAndPitch) {
  struct Case {
    int format;
    u32 rate, channels;
    double seconds;
  } cases[] = {
      {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, 1.5},
      {SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 22050, 1, 1.25},
      {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2, 2.0},
      {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 32000, 1, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    u64 frames = (u64)(c.seconds * c.rate);
    Cooked cooked;
    cook(make_sound(c.format, c.rate, c.channels, frames, tone(1000, c.rate)), "bitrate = 64\n",
         &cooked);
    ASSERT_TRUE(cooked.ok) << cooked.messages();
    TovSound sound;
    ASSERT_TRUE(tov_sound_view(cooked.result.output.data, cooked.result.output.count, &sound));
    EXPECT_EQ(sound.codec, (u32)TOV_SOUND_OPUS);
    EXPECT_EQ(sound.channels, c.channels);
    EXPECT_NEAR((double)sound.frame_count, c.seconds * 48000, 960);

    int error = 0;
    OggOpusFile* opus =
        op_open_memory(cooked.result.output.data, cooked.result.output.count, &error);
    ASSERT_NE(opus, nullptr) << error;
    EXPECT_EQ(op_channel_count(opus, -1), (int)c.channels);
    EXPECT_EQ((u64)op_pcm_total(opus, -1), sound.frame_count);
    std::vector<float> decoded;
    float buffer[5760 * 2];
    for (int got; (got = op_read_float(opus, buffer, 5760 * 2, nullptr)) > 0;)
      decoded.insert(decoded.end(), buffer, buffer + got * c.channels);
    op_free(opus);
    EXPECT_EQ(decoded.size() / c.channels, sound.frame_count);
    // A wrong rate anywhere would move the tone: 2000 crossings a second.
    EXPECT_NEAR(zero_crossings(decoded, c.channels, 12000, 24000), 1000, 4);
  }
}

// Without a bitrate, mono takes 64 kbit/s and stereo 96: the same bytes as
// when those are asked for.
TEST(AudioCook, DefaultBitrates) {
  for (u32 channels : {1u, 2u}) {
    std::string wav =
        make_sound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, channels, 48000, tone(440, 48000));
    Cooked plain, asked;
    cook(wav, "", &plain);
    cook(wav, channels == 1 ? "bitrate = 64\n" : "bitrate = 96\n", &asked);
    ASSERT_TRUE(plain.ok && asked.ok) << plain.messages() << asked.messages();
    EXPECT_TRUE(
        plain.result.output.count == asked.result.output.count &&
        memcmp(plain.result.output.data, asked.result.output.data, asked.result.output.count) == 0)
        << channels;
  }
}

// pcm mode keeps a 16-bit source bit for bit, and mixes and resamples
// when asked.
TEST(AudioCook, PcmIsBitExactAndFollowsSettings) {
  u32 seed = 7;
  auto noise = [&](u64, u32) {
    seed = seed * 1103515245 + 12345;
    return (float)((i16)(seed >> 16)) / 32768.0f;
  };
  std::string wav = make_sound(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, 4410, noise);
  struct Case {
    std::string settings;
    u32 rate, channels;
    u64 frames;
  } cases[] = {
      {"mode = \"pcm\"\n", 22050, 2, 4410},
      {"mode = \"pcm\"\nchannels = 1\n", 22050, 1, 4410},
      {"mode = \"pcm\"\nsample_rate = 11025\n", 11025, 2, 2205},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    Cooked cooked;
    cook(wav, c.settings, &cooked);
    ASSERT_TRUE(cooked.ok) << cooked.messages();
    TovSound sound;
    ASSERT_TRUE(tov_sound_view(cooked.result.output.data, cooked.result.output.count, &sound));
    EXPECT_EQ(sound.codec, (u32)TOV_SOUND_PCM16);
    EXPECT_EQ(sound.sample_rate, c.rate);
    EXPECT_EQ(sound.channels, c.channels);
    EXPECT_EQ(sound.frame_count, c.frames);
    ASSERT_EQ(sound.size, c.frames * c.channels * 2);
    const i16* samples = (const i16*)sound.data;
    const i16* source = (const i16*)(wav.data() + wav.size() - 4410 * 4);
    if (c.rate == 22050 && c.channels == 2) {
      EXPECT_EQ(memcmp(samples, source, sound.size), 0);
    }
    if (c.channels == 1) {
      EXPECT_NEAR(samples[100], (source[200] + source[201]) / 2.0, 1.0);
    }
  }
  // A damaged header or a short file is refused.
  Cooked cooked;
  cook(wav, "mode = \"pcm\"\n", &cooked);
  TovSound sound;
  EXPECT_FALSE(tov_sound_view(cooked.result.output.data, cooked.result.output.count - 1, &sound));
  cooked.result.output.data[0] = 'X';
  EXPECT_FALSE(tov_sound_view(cooked.result.output.data, cooked.result.output.count, &sound));
}

// Clipping and silence are reported; clean sound is not.
TEST(AudioCook, ReportsClippingAndSilence) {
  const u32 rate = 8000;
  struct Case {
    Signal signal;
    std::string report;
  } cases[] = {
      {tone(440, rate), ""},
      {[](u64 f, u32) { return (f / 9) % 2 ? 1.0f : -1.0f; },
       "song.wav: clipped: 8000 samples at full scale, peak 0.0 dBFS\n"},
      {[](u64 f, u32) { return f < 4000 || f >= 7000 ? 0.0f : 0.25f; },
       "song.wav: 0.50 s of silence at the start\nsong.wav: 0.12 s of silence at the end\n"},
      {[](u64, u32) { return 0.0f; }, "song.wav: silent (peak below -60 dBFS)\n"},
  };
  for (const Case& c : cases) {
    Cooked cooked;
    cook(make_sound(SF_FORMAT_WAV | SF_FORMAT_FLOAT, rate, 1, 8000, c.signal), "", &cooked);
    ASSERT_TRUE(cooked.ok) << cooked.messages();
    EXPECT_EQ(cooked.report(), c.report);
  }
}
