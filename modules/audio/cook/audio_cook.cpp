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

// What the source holds, gathered chunk by chunk for the step's report.
struct Levels {
  u64 frames, clipped, first_sound, last_sound;
  float peak;
};

// Peak and clipping over every sample; the first and last sound found from
// each end of the chunk, so that a long track costs two short scans.
void measure(Levels* levels, const float* samples, u64 frames, u32 channels) {
  u64 count = frames * channels, clipped = 0;
  float peak = levels->peak;
  for (u64 i = 0; i < count; ++i) {
    float level = fabsf(samples[i]);
    clipped += level >= 32767.0f / 32768.0f;
    peak = level > peak ? level : peak;
  }
  levels->clipped += clipped;
  levels->peak = peak;
  u64 last = count;
  while (last > 0 && fabsf(samples[last - 1]) < kSilence) --last;
  if (last > 0) {
    if (levels->last_sound == 0) {
      u64 first = 0;
      while (fabsf(samples[first]) < kSilence) ++first;
      levels->first_sound = levels->frames + first / channels;
    }
    levels->last_sound = levels->frames + (last - 1) / channels + 1;
  }
  levels->frames += frames;
}

void report(const char* path, const Levels* levels, u32 rate, ZuArray<char>* text) {
  if (levels->last_sound == 0) {
    add_line(text, "%s: silent (peak below -60 dBFS)\n", path);
    return;
  }
  if (levels->clipped) {
    char line[512];
    snprintf(line, sizeof(line), "%s: clipped: %llu sample%s at full scale, peak %.1f dBFS\n", path,
             (unsigned long long)levels->clipped, levels->clipped == 1 ? "" : "s",
             20.0 * log10(levels->peak));
    cook_add_text(text, line);
  }
  // A tenth of a second is where a player hears a late start or a gap.
  if (levels->first_sound >= rate / 10)
    add_line(text, "%s: %.2f s of silence at the start\n", path,
             levels->first_sound / (double)rate);
  if (levels->frames - levels->last_sound >= rate / 10)
    add_line(text, "%s: %.2f s of silence at the end\n", path,
             (levels->frames - levels->last_sound) / (double)rate);
}

int write_page(void* user, const unsigned char* bytes, opus_int32 length) {
  ZuArray<u8>* out = (ZuArray<u8>*)user;
  u64 at = out->count;
  zu_array_resize(out, at + (u64)length);
  memcpy(out->data + at, bytes, (size_t)length);
  return 0;
}
int close_stream(void*) { return 0; }

// Where the processed samples go: the Opus encoder, or the 16-bit samples
// of pcm mode.
struct Sink {
  OggOpusEnc* encoder;
  ZuArray<i16> pcm;
  u32 channels;
  bool ok;
};

void sink_write(Sink* sink, const float* samples, u64 frames) {
  if (sink->encoder) {
    sink->ok &= ope_encoder_write_float(sink->encoder, samples, (int)frames) == OPE_OK;
    return;
  }
  // A 16-bit source comes back bit for bit: libsndfile scales by 1/32768.
  for (u64 i = 0; i < frames * sink->channels; ++i) {
    long value = lrintf(samples[i] * 32768.0f);
    zu_array_push(&sink->pcm, (i16)(value > 32767 ? 32767 : value < -32768 ? -32768 : value));
  }
}

// Resamples a chunk (null at the end, to flush) into the sink.
void resample(soxr_t resampler, const float* in, u64 frames, ZuArray<float>* out, Sink* sink) {
  u64 capacity = out->count / sink->channels;
  for (;;) {
    size_t used = 0, made = 0;
    soxr_process(resampler, in, frames, &used, out->data, capacity, &made);
    sink_write(sink, out->data, made);
    if (in) {
      in += used * sink->channels;
      frames -= used;
      if (frames == 0) return;
    } else if (made == 0) {
      return;
    }
  }
}

OggOpusEnc* create_encoder(const CookRequest* request, u32 channels, u32 bitrate,
                           ZuArray<u8>* out) {
  if (bitrate == 0) bitrate = channels == 2 ? 96 : 64 * channels;
  OpusEncCallbacks callbacks = {write_page, close_stream};
  OggOpusComments* comments = ope_comments_create();
  int error = 0;
  OggOpusEnc* encoder =
      ope_encoder_create_callbacks(&callbacks, out, comments, (opus_int32)kOpusRate, (int)channels,
                                   channels <= 2 ? 0 : 1, &error);
  ope_comments_destroy(comments);  // the encoder keeps its own copy
  // The stream's serial number comes from the source, not from chance, so
  // that a cook is reproducible.
  if (encoder &&
      (ope_encoder_ctl(encoder,
                       OPE_SET_SERIALNO((opus_int32)(zu_hash(request->bytes, request->size) &
                                                     0x7FFFFFFF))) != OPE_OK ||
       ope_encoder_ctl(encoder, OPUS_SET_BITRATE((opus_int32)(bitrate * 1000))) != OPE_OK)) {
    ope_encoder_destroy(encoder);
    encoder = nullptr;
  }
  return encoder;
}

void write_pcm(const Sink* sink, u32 rate, ZuArray<u8>* out) {
  TovSoundFileHeader header = {};
  memcpy(header.magic, TOV_SOUND_MAGIC, 4);
  header.version = TOV_SOUND_VERSION;
  header.sample_rate = rate;
  header.channels = (u16)sink->channels;
  header.bits = 16;
  header.frame_count = sink->pcm.count / sink->channels;
  header.data_offset = sizeof(header);
  zu_array_resize(out, sizeof(header) + sink->pcm.count * 2);
  memcpy(out->data, &header, sizeof(header));
  memcpy(out->data + sizeof(header), sink->pcm.data, sink->pcm.count * 2);
}

// Decodes the source a chunk at a time, measures it, mixes its channels,
// resamples it and hands it on: memory stays small for a long track.
bool cook(const CookRequest* request, const AudioSettings* settings, CookResult* result) {
  SF_VIRTUAL_IO io = {source_length, source_seek, source_read, source_write, source_tell};
  Source source = {request->bytes, (sf_count_t)request->size, 0};
  SF_INFO info = {};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &source);
  if (!file) {
    char line[512];
    snprintf(line, sizeof(line), "%s: is not a sound libsndfile reads (%s)\n", request->path,
             sf_strerror(nullptr));
    cook_add_text(&result->messages, line);
    return false;
  }
  u32 channels = (u32)info.channels, rate = (u32)info.samplerate;
  u32 out_channels = settings->channels ? settings->channels : channels;
  u32 out_rate = settings->mode == kAudioOpus ? kOpusRate
                 : settings->sample_rate      ? settings->sample_rate
                                              : rate;
  bool ok = true;
  if (channels > kMaxChannels) {
    add_line(&result->messages, "%s: has %.0f channels; at most 8 are cooked\n", request->path,
             channels);
    ok = false;
  } else if (out_channels == 2 && channels != 1 && channels != 2) {
    add_line(&result->messages, "%s: has %.0f channels; only mono or mono to stereo is mixed\n",
             request->path, channels);
    ok = false;
  }
  Sink sink = {nullptr, {}, out_channels, true};
  if (ok && settings->mode == kAudioOpus) {
    sink.encoder = create_encoder(request, out_channels, settings->bitrate, &result->output);
    ok = sink.encoder != nullptr;
    if (!ok)
      add_line(&result->messages, "%s: cannot be encoded: the encoder refused\n", request->path);
  }
  soxr_t resampler = nullptr;
  if (ok && out_rate != rate) {
    soxr_io_spec_t io_spec = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    // 16-bit precision over the full band: all that a 16-bit or Opus
    // result can hold, at a third less work than 20 bits.
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_16_BITQ, 0);
    soxr_error_t error = nullptr;
    resampler = soxr_create(rate, out_rate, out_channels, &error, &io_spec, &quality, nullptr);
    if (error) {
      add_line(&result->messages, "%s: cannot be resampled\n", request->path);
      ok = false;
    }
  }
  const u64 kChunk = 4096;
  ZuArray<float> chunk = {}, mixed = {}, resampled = {};
  zu_array_resize(&chunk, kChunk * channels);
  zu_array_resize(&mixed, kChunk * out_channels);
  zu_array_resize(&resampled, (kChunk * out_rate / rate + 64) * out_channels);
  Levels levels = {};
  while (ok) {
    sf_count_t got = sf_readf_float(file, chunk.data, (sf_count_t)kChunk);
    if (got <= 0) break;
    measure(&levels, chunk.data, (u64)got, channels);
    const float* samples = chunk.data;
    if (out_channels != channels) {
      // Mono is the mean of all channels; stereo from mono doubles it.
      for (u64 f = 0; f < (u64)got; ++f) {
        float sum = 0;
        for (u32 c = 0; c < channels; ++c) sum += chunk.data[f * channels + c];
        for (u32 c = 0; c < out_channels; ++c) mixed.data[f * out_channels + c] = sum / channels;
      }
      samples = mixed.data;
    }
    if (resampler)
      resample(resampler, samples, (u64)got, &resampled, &sink);
    else
      sink_write(&sink, samples, (u64)got);
  }
  if (ok && sf_error(file) != SF_ERR_NO_ERROR) {
    char line[512];
    snprintf(line, sizeof(line), "%s: is damaged (%s)\n", request->path, sf_strerror(file));
    cook_add_text(&result->messages, line);
    ok = false;
  }
  if (ok && levels.frames == 0) {
    add_line(&result->messages, "%s: holds no samples\n", request->path);
    ok = false;
  }
  if (ok && resampler) resample(resampler, nullptr, 0, &resampled, &sink);
  if (ok && sink.encoder) sink.ok &= ope_encoder_drain(sink.encoder) == OPE_OK;
  if (ok && !sink.ok) {
    add_line(&result->messages, "%s: cannot be encoded: the encoder failed\n", request->path);
    ok = false;
  }
  if (ok && !sink.encoder) write_pcm(&sink, out_rate, &result->output);
  if (ok) report(request->path, &levels, rate, &result->report);
  if (sink.encoder) ope_encoder_destroy(sink.encoder);
  if (resampler) soxr_delete(resampler);
  zu_array_destroy(&sink.pcm);
  zu_array_destroy(&chunk);
  zu_array_destroy(&mixed);
  zu_array_destroy(&resampled);
  sf_close(file);
  return ok;
}

}  // namespace

extern "C" {

ZU_EXPORT bool audio_cook_sound(const CookRequest* request, CookResult* result) {
  *result = {};
  AudioSettings settings;
  audio_settings_init(&settings);
  return settings_read_files(request->settings, request->settings_count, &settings,
                             &result->messages, audio_settings_read) &&
         cook(request, &settings, result);
}

ZU_EXPORT void audio_cook_release(CookResult* result) { cook_result_release(result); }
}
