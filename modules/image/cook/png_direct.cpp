// SPDX-License-Identifier: Zlib
#include "png_direct.h"

#include <libdeflate.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

u32 big_endian(const u8* bytes) {
  return (u32)bytes[0] << 24 | (u32)bytes[1] << 16 | (u32)bytes[2] << 8 | bytes[3];
}

// A chunk's type and data against the CRC that follows them.
bool crc_holds(const u8* type, u32 length) {
  return libdeflate_crc32(0, type, 4 + (u64)length) == big_endian(type + 4 + length);
}

bool is_type(const u8* type, const char* name) { return memcmp(type, name, 4) == 0; }

// The predictor of each filter for one byte: a left, b above, c above left.
template <int kFilter>
u8 predict(int a, int b, int c) {
  if (kFilter == 1) return (u8)a;
  if (kFilter == 2) return (u8)b;
  if (kFilter == 3) return (u8)((a + b) >> 1);
  if (kFilter == 4) {
    int pa = b - c, pb = a - c, pc = pa + pb;
    pa = pa < 0 ? -pa : pa;
    pb = pb < 0 ? -pb : pb;
    pc = pc < 0 ? -pc : pc;
    return (u8)(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
  }
  return 0;
}

// Grey images (one or two bytes a pixel): the row unfiltered in place,
// above it the row before, unfiltered already (zeros for the first).
template <int kFilter>
void unfilter_bytes(u8* row, const u8* above, u64 length, u32 step) {
  for (u64 x = 0; x < length; ++x) {
    int a = x >= step ? row[x - step] : 0, c = x >= step ? above[x - step] : 0;
    row[x] = (u8)(row[x] + predict<kFilter>(a, above[x], c));
  }
}

// Colour images (three or four bytes a pixel): the row unfiltered straight
// into RGBA, above it the RGBA row before. Each pixel's channels go through
// the filter together, a 16-bit lane each; a fourth byte read beyond a
// 3-byte pixel is carried along and replaced by opaque alpha.
template <int kFilter>
void unfilter_pixels(const u8* row, const u8* above, u8* out, u32 width, u32 step) {
  const u32 opaque = step == 3 ? 0xFF000000u : 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi16(0xFF);
  auto widen = [zero](const u8* bytes) {
    u32 value;
    memcpy(&value, bytes, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)value), zero);
  };
  auto magnitude = [zero](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
  auto choose = [](__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
  };
  __m128i a = zero, c = zero;
  for (u32 x = 0; x < width; ++x, row += step) {
    __m128i b = widen(above + 4 * (u64)x), predicted = zero;
    if (kFilter == 1) predicted = a;
    if (kFilter == 2) predicted = b;
    if (kFilter == 3) predicted = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
    if (kFilter == 4) {
      __m128i pa = _mm_sub_epi16(b, c), pb = _mm_sub_epi16(a, c);
      __m128i pc = magnitude(_mm_add_epi16(pa, pb));
      pa = magnitude(pa);
      pb = magnitude(pb);
      // Ties go to a, then b, as the filter's definition orders them.
      __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
      predicted = choose(_mm_cmpeq_epi16(smallest, pb), b, c);
      predicted = choose(_mm_cmpeq_epi16(smallest, pa), a, predicted);
    }
    __m128i pixel = _mm_and_si128(_mm_add_epi16(widen(row), predicted), low);
    u32 value = (u32)_mm_cvtsi128_si32(_mm_packus_epi16(pixel, pixel)) | opaque;
    memcpy(out + 4 * (u64)x, &value, 4);
    a = pixel;
    c = b;
  }
#else
  for (u32 x = 0; x < width; ++x, row += step) {
    for (u32 k = 0; k < step; ++k) {
      int a = x ? out[4 * (u64)x - 4 + k] : 0, c = x ? above[4 * (u64)x - 4 + k] : 0;
      out[4 * (u64)x + k] = (u8)(row[k] + predict<kFilter>(a, above[4 * (u64)x + k], c));
    }
    if (opaque) out[4 * (u64)x + 3] = 255;
  }
#endif
}

template <int kFilter>
void unfilter_row(u8* row, const u8* above_row, const u8* above_rgba, u8* out, u32 width,
                  u32 step) {
  if (step >= 3) {
    unfilter_pixels<kFilter>(row, above_rgba, out, width, step);
    return;
  }
  unfilter_bytes<kFilter>(row, above_row, (u64)width * step, step);
  for (u32 x = 0; x < width; ++x) {
    u8 grey = row[(u64)x * step];
    u8* texel = out + 4 * (u64)x;
    texel[0] = texel[1] = texel[2] = grey;
    texel[3] = step == 2 ? row[(u64)x * 2 + 1] : 255;
  }
}

constexpr void (*kUnfilters[])(u8*, const u8*, const u8*, u8*, u32, u32) = {
    unfilter_row<0>, unfilter_row<1>, unfilter_row<2>, unfilter_row<3>, unfilter_row<4>};

// The chunks after the header, up to IEND: the image data's pieces, or
// false for a chunk this reader leaves to libspng.
bool collect_data(const u8* bytes, u64 size, u64 at, ZuArray<u8>* data, const u8** whole,
                  u64* whole_size) {
  u32 pieces = 0;
  bool data_ended = false;
  *whole = nullptr;
  while (size - at >= 12) {
    u32 length = big_endian(bytes + at);
    const u8* type = bytes + at + 4;
    if (length > 0x7FFFFFFFu || size - at - 12 < length) return false;
    if (is_type(type, "IEND")) return pieces > 0;
    if (is_type(type, "IDAT")) {
      if (data_ended || !crc_holds(type, length)) return false;
      if (++pieces == 1) {
        *whole = type + 4;
        *whole_size = length;
      } else {
        if (pieces == 2) zu_array_append(data, *whole, *whole_size);
        zu_array_append(data, type + 4, length);
      }
    } else {
      // A palette or transparency changes the pixels; any other critical
      // chunk is one this reader does not know. Ancillary ones are notes.
      if (is_type(type, "PLTE") || is_type(type, "tRNS") || !(type[0] & 0x20)) return false;
      data_ended = pieces > 0;
    }
    at += 12 + (u64)length;
  }
  return false;
}

}  // namespace

bool png_decode_direct(const u8* bytes, u64 size, DecodedImage* image) {
  static const u8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size < 8 + 25 || memcmp(bytes, kSignature, 8) != 0) return false;
  const u8* header = bytes + 8;
  if (big_endian(header) != 13 || !is_type(header + 4, "IHDR") || !crc_holds(header + 4, 13))
    return false;
  u32 width = big_endian(header + 8), height = big_endian(header + 12);
  u8 depth = header[16], colour = header[17];
  static const u8 kSteps[7] = {1, 0, 3, 0, 2, 0, 4};
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide || depth != 8 ||
      colour > 6 || kSteps[colour] == 0 || header[18] || header[19] || header[20])
    return false;
  u32 step = kSteps[colour];

  ZuArray<u8> joined = {};
  const u8* data = nullptr;
  u64 data_size = 0;
  if (!collect_data(bytes, size, 8 + 25, &joined, &data, &data_size)) {
    zu_array_destroy(&joined);
    return false;
  }
  if (joined.count) {
    data = joined.data;
    data_size = joined.count;
  }
  // Each row is a filter byte and its pixels; 3 bytes of room at the end
  // for the last 3-byte pixel's 4-byte read.
  u64 stride = 1 + (u64)width * step, length = stride * height;
  ZuArray<u8> rows = {};
  zu_array_resize(&rows, length + 3);
  libdeflate_set_memory_allocator(sys_malloc, sys_free);
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  size_t inflated = 0;
  bool ok = inflater &&
            libdeflate_zlib_decompress(inflater, data, data_size, rows.data, length, &inflated) ==
                LIBDEFLATE_SUCCESS &&
            inflated == length;
  libdeflate_free_decompressor(inflater);
  zu_array_destroy(&joined);
  for (u32 y = 0; ok && y < height; ++y) ok = rows.data[y * stride] <= 4;
  if (ok) {
    image->width = width;
    image->height = height;
    image->channels = step;
    zu_array_resize(&image->rgba, (u64)width * height * 4);
    ZuArray<u8> zeros = {};
    zu_array_resize(&zeros, (u64)width * 4);
    memset(zeros.data, 0, zeros.count);
    for (u32 y = 0; y < height; ++y) {
      u8* row = rows.data + y * stride;
      u8* out = image->rgba.data + (u64)y * width * 4;
      kUnfilters[row[0]](row + 1, y ? row + 1 - stride : zeros.data,
                         y ? out - (u64)width * 4 : zeros.data, out, width, step);
    }
    zu_array_destroy(&zeros);
  }
  zu_array_destroy(&rows);
  return ok;
}
