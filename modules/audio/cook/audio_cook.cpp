// SPDX-License-Identifier: Zlib
// audio_cook.x86_64: a sound becomes an Ogg Opus stream, or 16-bit PCM
// behind a small header (sdk/include/tov_sound.h). libsndfile decodes,
// libsoxr resamples, libopusenc encodes. Loaded by the cook_audio command
// only.
#include <math.h>
#include <opus/opusenc.h>
#include <sndfile.h>
#include <soxr.h>
#include <stdio.h>
#include <string.h>

#include "audio_settings.h"
#include "cook_request.h"
#include "cook_settings.h"
#include "cook_text.h"
#include "tov_sound.h"

namespace {

constexpr u32 kOpusRate = 48000;
constexpr u32 kMaxChannels = 8;     // Opus's channel mapping family 1
constexpr float kSilence = 0.001f;  // -60 dBFS

// Interleaved float samples, full scale at +-1.
struct Pcm {
  ZuArray<float> samples;
  u32 rate, channels;
  u64 frames;
};

void add_line(ZuArray<char>* text, const char* format, const char* path, double a = 0,
              double b = 0) {
  char line[512];
  snprintf(line, sizeof(line), format, path, a, b);
  cook_add_text(text, line);
}

// libsndfile reads from the bytes in memory.
struct Source {
  const u8* bytes;
  sf_count_t size, at;
};

sf_count_t source_length(void* user) { return ((Source*)user)->size; }
sf_count_t source_tell(void* user) { return ((Source*)user)->at; }
sf_count_t source_seek(sf_count_t offset, int whence, void* user) {
  Source* source = (Source*)user;
  sf_count_t base = whence == SEEK_CUR ? source->at : whence == SEEK_END ? source->size : 0;
  if (base + offset < 0 || base + offset > source->size) return -1;
  return source->at = base + offset;
}
sf_count_t source_read(void* out, sf_count_t count, void* user) {
  Source* source = (Source*)user;
  if (count > source->size - source->at) count = source->size - source->at;
  memcpy(out, source->bytes + source->at, (size_t)count);
  source->at += count;
  return count;
}
sf_count_t source_write(const void*, sf_count_t, void*) { return 0; }

bool decode(const CookRequest* request, Pcm* pcm, ZuArray<char>* messages) {
  SF_VIRTUAL_IO io = {source_length, source_seek, source_read, source_write, source_tell};
  Source source = {request->bytes, (sf_count_t)request->size, 0};
  SF_INFO info = {};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &source);
  if (!file) {
    char line[512];
    snprintf(line, sizeof(line), "%s: is not a sound libsndfile reads (%s)\n", request->path,
             sf_strerror(nullptr));
    cook_add_text(messages, line);
    return false;
  }
  bool ok = info.channels >= 1 && (u32)info.channels <= kMaxChannels;
  if (!ok)
    add_line(messages, "%s: has %.0f channels; at most 8 are cooked\n", request->path,
             info.channels);
  pcm->rate = (u32)info.samplerate;
  pcm->channels = (u32)info.channels;
  pcm->frames = 0;
  // The frame count in the header is a promise some formats break: read
  // until the decoder stops.
  const u64 kChunk = 16384;
  while (ok) {
    zu_array_resize(&pcm->samples, (pcm->frames + kChunk) * pcm->channels);
    sf_count_t got =
        sf_readf_float(file, pcm->samples.data + pcm->frames * pcm->channels, (sf_count_t)kChunk);
    if (got <= 0) break;
    pcm->frames += (u64)got;
  }
  if (ok && sf_error(file) != SF_ERR_NO_ERROR) {
    char line[512];
    snprintf(line, sizeof(line), "%s: is damaged (%s)\n", request->path, sf_strerror(file));
    cook_add_text(messages, line);
    ok = false;
  }
  if (ok && pcm->frames == 0) {
    add_line(messages, "%s: holds no samples\n", request->path);
    ok = false;
  }
  zu_array_resize(&pcm->samples, pcm->frames * pcm->channels);
  sf_close(file);
  return ok;
}

// Clipping and silence, for the step's report.
void analyse(const char* path, const Pcm* pcm, ZuArray<char>* report) {
  u64 clipped = 0, first_sound = pcm->frames, last_sound = 0;
  float peak = 0;
  for (u64 f = 0; f < pcm->frames; ++f) {
    bool sound = false;
    for (u32 c = 0; c < pcm->channels; ++c) {
      float level = fabsf(pcm->samples.data[f * pcm->channels + c]);
      clipped += level >= 32767.0f / 32768.0f;
      sound |= level >= kSilence;
      if (level > peak) peak = level;
    }
    if (sound) {
      if (first_sound == pcm->frames) first_sound = f;
      last_sound = f + 1;
    }
  }
  if (first_sound == pcm->frames) {
    add_line(report, "%s: silent (peak below -60 dBFS)\n", path);
    return;
  }
  if (clipped)
    add_line(report, "%s: clipped: %.0f samples at full scale, peak %.1f dBFS\n", path,
             (double)clipped, 20.0 * log10(peak));
  double rate = pcm->rate;
  // A tenth of a second is where a player hears a late start or a gap.
  if (first_sound >= pcm->rate / 10)
    add_line(report, "%s: %.2f s of silence at the start\n", path, first_sound / rate);
  if (pcm->frames - last_sound >= pcm->rate / 10)
    add_line(report, "%s: %.2f s of silence at the end\n", path, (pcm->frames - last_sound) / rate);
}

// Mono is the mean of all channels; stereo from mono doubles it.
bool remix(const char* path, Pcm* pcm, u32 channels, ZuArray<char>* messages) {
  if (channels == 0 || channels == pcm->channels) return true;
  if (channels == 2 && pcm->channels != 1) {
    add_line(messages, "%s: has %.0f channels; only mono or mono to stereo is mixed\n", path,
             pcm->channels);
    return false;
  }
  ZuArray<float> mixed = {};
  zu_array_resize(&mixed, pcm->frames * channels);
  for (u64 f = 0; f < pcm->frames; ++f) {
    float sum = 0;
    for (u32 c = 0; c < pcm->channels; ++c) sum += pcm->samples.data[f * pcm->channels + c];
    for (u32 c = 0; c < channels; ++c) mixed.data[f * channels + c] = sum / pcm->channels;
  }
  zu_array_destroy(&pcm->samples);
  pcm->samples = mixed;
  pcm->channels = channels;
  return true;
}

bool resample(const char* path, Pcm* pcm, u32 rate, ZuArray<char>* messages) {
  if (rate == pcm->rate) return true;
  u64 frames = (u64)((double)pcm->frames * rate / pcm->rate + 0.5);
  ZuArray<float> out = {};
  zu_array_resize(&out, frames * pcm->channels);
  size_t done = 0;
  soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t error = soxr_oneshot(pcm->rate, rate, pcm->channels, pcm->samples.data, pcm->frames,
                                    nullptr, out.data, frames, &done, nullptr, &quality, nullptr);
  if (error) {
    char line[512];
    snprintf(line, sizeof(line), "%s: cannot be resampled (%s)\n", path, error);
    cook_add_text(messages, line);
    zu_array_destroy(&out);
    return false;
  }
  zu_array_resize(&out, (u64)done * pcm->channels);
  zu_array_destroy(&pcm->samples);
  pcm->samples = out;
  pcm->frames = done;
  pcm->rate = rate;
  return true;
}

void encode_pcm(const Pcm* pcm, ZuArray<u8>* out) {
  TovSoundFileHeader header = {};
  memcpy(header.magic, TOV_SOUND_MAGIC, 4);
  header.version = TOV_SOUND_VERSION;
  header.sample_rate = pcm->rate;
  header.channels = (u16)pcm->channels;
  header.bits = 16;
  header.frame_count = pcm->frames;
  header.data_offset = sizeof(header);
  u64 count = pcm->frames * pcm->channels;
  zu_array_resize(out, sizeof(header) + count * 2);
  memcpy(out->data, &header, sizeof(header));
  // A 16-bit source comes back bit for bit: libsndfile scales by 1/32768.
  for (u64 i = 0; i < count; ++i) {
    long value = lrintf(pcm->samples.data[i] * 32768.0f);
    i16 sample = (i16)(value > 32767 ? 32767 : value < -32768 ? -32768 : value);
    memcpy(out->data + sizeof(header) + i * 2, &sample, 2);
  }
}

int write_page(void* user, const unsigned char* bytes, opus_int32 length) {
  ZuArray<u8>* out = (ZuArray<u8>*)user;
  u64 at = out->count;
  zu_array_resize(out, at + (u64)length);
  memcpy(out->data + at, bytes, (size_t)length);
  return 0;
}
int close_stream(void*) { return 0; }

bool encode_opus(const CookRequest* request, const Pcm* pcm, u32 bitrate, ZuArray<u8>* out,
                 ZuArray<char>* messages) {
  if (bitrate == 0) bitrate = pcm->channels == 2 ? 96 : 64 * pcm->channels;
  OpusEncCallbacks callbacks = {write_page, close_stream};
  OggOpusComments* comments = ope_comments_create();
  int error = 0;
  OggOpusEnc* encoder =
      ope_encoder_create_callbacks(&callbacks, out, comments, (opus_int32)pcm->rate,
                                   (int)pcm->channels, pcm->channels <= 2 ? 0 : 1, &error);
  bool ok = encoder != nullptr;
  // The stream's serial number comes from the source, not from chance, so
  // that a cook is reproducible.
  if (ok)
    ok = ope_encoder_ctl(
             encoder,
             OPE_SET_SERIALNO((opus_int32)(zu_hash(request->bytes, request->size) & 0x7FFFFFFF))) ==
             OPE_OK &&
         ope_encoder_ctl(encoder, OPUS_SET_BITRATE((opus_int32)(bitrate * 1000))) == OPE_OK &&
         ope_encoder_write_float(encoder, pcm->samples.data, (int)pcm->frames) == OPE_OK &&
         ope_encoder_drain(encoder) == OPE_OK;
  if (!ok) {
    char line[512];
    snprintf(line, sizeof(line), "%s: cannot be encoded (%s)\n", request->path,
             ope_strerror(encoder ? OPE_INTERNAL_ERROR : error));
    cook_add_text(messages, line);
  }
  if (encoder) ope_encoder_destroy(encoder);
  ope_comments_destroy(comments);
  return ok;
}

}  // namespace

extern "C" {

ZU_EXPORT bool audio_cook_sound(const CookRequest* request, CookResult* result) {
  *result = {};
  AudioSettings settings;
  audio_settings_init(&settings);
  Pcm pcm = {};
  bool ok = settings_read_files(request->settings, request->settings_count, &settings,
                                &result->messages, audio_settings_read) &&
            decode(request, &pcm, &result->messages);
  if (ok) analyse(request->path, &pcm, &result->report);
  ok = ok && remix(request->path, &pcm, settings.channels, &result->messages);
  if (ok && settings.mode == kAudioPcm) {
    ok = resample(request->path, &pcm, settings.sample_rate ? settings.sample_rate : pcm.rate,
                  &result->messages);
    if (ok) encode_pcm(&pcm, &result->output);
  } else if (ok) {
    ok = resample(request->path, &pcm, kOpusRate, &result->messages) &&
         encode_opus(request, &pcm, settings.bitrate, &result->output, &result->messages);
  }
  zu_array_destroy(&pcm.samples);
  return ok;
}

ZU_EXPORT void audio_cook_release(CookResult* result) { cook_result_release(result); }
}
