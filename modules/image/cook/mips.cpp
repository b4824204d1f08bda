// SPDX-License-Identifier: Zlib
#include "mips.h"

#include <math.h>

float srgb_to_linear(float c) {
  return c <= 0.04045f ? c / 12.92f : powf((c + 0.055f) / 1.055f, 2.4f);
}

float linear_to_srgb(float c) {
  return c <= 0.0031308f ? c * 12.92f : 1.055f * powf(c, 1.0f / 2.4f) - 0.055f;
}

namespace {

struct FloatImage {
  u32 width, height;
  ZuArray<float> texels;  // RGBA
};

u8 to_byte(float value) {
  float scaled = value * 255.0f + 0.5f;
  return scaled <= 0.0f ? 0 : scaled >= 255.0f ? 255 : (u8)scaled;
}

// Linear light to an sRGB byte, rounded as to_byte(linear_to_srgb(c))
// rounds, without a power per channel: the byte is found among the linear
// values where the rounding changes (a byte's midpoint, decoded).
struct SrgbEncoder {
  float thresholds[255];  // linear value from which byte i + 1 is nearer
  SrgbEncoder() {
    for (u32 i = 0; i < 255; ++i) thresholds[i] = srgb_to_linear(((float)i + 0.5f) / 255.0f);
  }
  u8 encode(float linear) const {
    u32 low = 0, high = 255;  // the answer lies in [low, high]
    while (low < high) {
      u32 mid = (low + high) / 2;
      if (linear >= thresholds[mid])
        low = mid + 1;
      else
        high = mid;
    }
    return (u8)low;
  }
};

// Into the space filtering works in: linear light for colour (alpha stays
// linear), -1..1 vectors for normal maps, as stored for data.
void to_float(const u8* rgba, u32 width, u32 height, TextureSpace space, FloatImage* out) {
  float table[256];
  for (u32 i = 0; i < 256; ++i) {
    float unit = (float)i / 255.0f;
    table[i] = space == kSpaceSrgb     ? srgb_to_linear(unit)
               : space == kSpaceNormal ? unit * 2.0f - 1.0f
                                       : unit;
  }
  out->width = width;
  out->height = height;
  zu_array_resize(&out->texels, (u64)width * height * 4);
  for (u64 i = 0; i < (u64)width * height; ++i) {
    for (u32 c = 0; c < 3; ++c) out->texels.data[i * 4 + c] = table[rgba[i * 4 + c]];
    out->texels.data[i * 4 + 3] = (float)rgba[i * 4 + 3] / 255.0f;
  }
}

void to_bytes(const FloatImage* image, TextureSpace space, MipLevel* level) {
  static const SrgbEncoder srgb;
  level->width = image->width;
  level->height = image->height;
  zu_array_resize(&level->rgba, (u64)image->width * image->height * 4);
  for (u64 i = 0; i < (u64)image->width * image->height; ++i) {
    const float* texel = image->texels.data + i * 4;
    float rgb[3] = {texel[0], texel[1], texel[2]};
    if (space == kSpaceNormal) {
      float length = sqrtf(rgb[0] * rgb[0] + rgb[1] * rgb[1] + rgb[2] * rgb[2]);
      for (float& c : rgb) c = (length > 1e-6f ? c / length : 0.0f) * 0.5f + 0.5f;
    }
    for (u32 c = 0; c < 3; ++c)
      level->rgba.data[i * 4 + c] = space == kSpaceSrgb ? srgb.encode(rgb[c]) : to_byte(rgb[c]);
    level->rgba.data[i * 4 + 3] = to_byte(texel[3]);
  }
}

// The weights by which source rows (or columns) 0..from-1 make up target
// row t of to: the stretch [t * from / to, (t + 1) * from / to) by overlap.
struct Span {
  u32 first, count;
  float weights[3];  // a halving covers at most three source texels
};

void spans(u32 from, u32 to, ZuArray<Span>* out) {
  zu_array_resize(out, to);
  double scale = (double)from / to;
  for (u32 t = 0; t < to; ++t) {
    double begin = t * scale, end = (t + 1) * scale;
    Span* span = out->data + t;
    span->first = (u32)begin;
    span->count = 0;
    for (u32 s = span->first; s < from && s < end && span->count < 3; ++s) {
      double overlap = (end < s + 1 ? end : s + 1) - (begin > s ? begin : s);
      span->weights[span->count++] = (float)(overlap / scale);
    }
  }
}

// The next level: columns first, then rows, each by area.
void halve(const FloatImage* from, FloatImage* to) {
  to->width = from->width > 1 ? from->width / 2 : 1;
  to->height = from->height > 1 ? from->height / 2 : 1;
  ZuArray<Span> columns = {}, rows = {};
  spans(from->width, to->width, &columns);
  spans(from->height, to->height, &rows);
  ZuArray<float> narrow = {};
  zu_array_resize(&narrow, (u64)to->width * from->height * 4);
  for (u32 y = 0; y < from->height; ++y) {
    for (u32 x = 0; x < to->width; ++x) {
      const Span* span = columns.data + x;
      float* out = narrow.data + ((u64)y * to->width + x) * 4;
      for (u32 c = 0; c < 4; ++c) out[c] = 0.0f;
      for (u32 k = 0; k < span->count; ++k) {
        const float* in = from->texels.data + ((u64)y * from->width + span->first + k) * 4;
        for (u32 c = 0; c < 4; ++c) out[c] += in[c] * span->weights[k];
      }
    }
  }
  zu_array_resize(&to->texels, (u64)to->width * to->height * 4);
  for (u32 y = 0; y < to->height; ++y) {
    const Span* span = rows.data + y;
    for (u32 x = 0; x < to->width; ++x) {
      float* out = to->texels.data + ((u64)y * to->width + x) * 4;
      for (u32 c = 0; c < 4; ++c) out[c] = 0.0f;
      for (u32 k = 0; k < span->count; ++k) {
        const float* in = narrow.data + ((u64)(span->first + k) * to->width + x) * 4;
        for (u32 c = 0; c < 4; ++c) out[c] += in[c] * span->weights[k];
      }
    }
  }
  zu_array_destroy(&narrow);
  zu_array_destroy(&columns);
  zu_array_destroy(&rows);
}

void take_source(DecodedImage* image, MipLevel* level) {
  level->width = image->width;
  level->height = image->height;
  zu_array_move(&level->rgba, &image->rgba);
}

}  // namespace

void build_mips(DecodedImage* image, TextureSpace space, u32 max_side, u32 level_limit,
                ZuArray<MipLevel>* levels) {
  FloatImage current = {}, next = {};
  bool fits = !max_side || (image->width <= max_side && image->height <= max_side);
  if (level_limit == 1 && fits) {  // the source alone: nothing to filter
    take_source(image, zu_array_push_zeroed(levels));
    return;
  }
  to_float(image->rgba.data, image->width, image->height, space, &current);
  while (max_side && (current.width > max_side || current.height > max_side)) {
    halve(&current, &next);
    FloatImage swap = current;
    current = next;
    next = swap;
  }
  // Level 0 is the source itself unless it was shrunk: bytes through
  // floats and back would only cost time.
  bool shrunk = current.width != image->width || current.height != image->height;
  for (;;) {
    MipLevel* level = zu_array_push_zeroed(levels);
    if (levels->count == 1 && !shrunk)
      take_source(image, level);
    else
      to_bytes(&current, space, level);
    bool last = current.width == 1 && current.height == 1;
    if (last || (level_limit && levels->count >= level_limit)) break;
    halve(&current, &next);
    FloatImage swap = current;
    current = next;
    next = swap;
  }
  zu_array_destroy(&current.texels);
  zu_array_destroy(&next.texels);
}

void destroy_mips(ZuArray<MipLevel>* levels) {
  for (u32 i = 0; i < levels->count; ++i) zu_array_destroy(&levels->data[i].rgba);
  zu_array_destroy(levels);
}
