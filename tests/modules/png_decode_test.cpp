// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <spng.h>

#include <string>
#include <vector>

#include "png_direct.h"

namespace {

void put32(std::string* out, u32 value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back((char)(value >> shift));
}

void chunk(std::string* png, const char* type, const std::string& data) {
  put32(png, (u32)data.size());
  std::string body = std::string(type, 4) + data;
  *png += body;
  put32(png, libdeflate_crc32(0, body.data(), body.size()));
}

int paeth(int a, int b, int c) {
  int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

struct Png {
  u32 width = 7, height = 5;
  u8 colour = 6, depth = 8, interlace = 0;
  u32 pieces = 1;           // IDAT chunks
  std::string before_data;  // a chunk's type, put before the image data
  int filter = -1;          // every row's filter, or row y filter y % 5
  bool bad_crc = false, cut_stream = false;
};

// A PNG of random pixels, each row filtered by the given method, which
// libspng reads as the reference.
std::string make_png(const Png& spec) {
  static const u32 kChannels[7] = {1, 0, 3, 0, 2, 0, 4};
  u32 step = kChannels[spec.colour] * (spec.depth / 8), stride = spec.width * step;
  std::vector<u8> pixels((u64)stride * spec.height);
  u32 seed = 12345;
  // Every other row from four values only, where the filters' ties lie.
  for (u64 i = 0; i < pixels.size(); ++i)
    pixels[i] = (u8)(((seed = seed * 1103515245 + 12345) >> 16) % (i / stride % 2 ? 4 : 256));
  std::string filtered;
  for (u32 y = 0; y < spec.height; ++y) {
    int filter = spec.filter >= 0 ? spec.filter : (int)(y % 5);
    filtered.push_back((char)filter);
    for (u32 x = 0; x < stride; ++x) {
      int a = x >= step ? pixels[y * stride + x - step] : 0;
      int b = y ? pixels[(y - 1) * stride + x] : 0;
      int c = x >= step && y ? pixels[(y - 1) * stride + x - step] : 0;
      int predictors[6] = {0, a, b, (a + b) / 2, paeth(a, b, c), 0};  // 5 is no filter at all
      filtered.push_back((char)(pixels[y * stride + x] - predictors[filter]));
    }
  }
  libdeflate_compressor* deflater = libdeflate_alloc_compressor(6);
  std::string stream(libdeflate_zlib_compress_bound(deflater, filtered.size()), '\0');
  stream.resize(libdeflate_zlib_compress(deflater, filtered.data(), filtered.size(), stream.data(),
                                         stream.size()));
  libdeflate_free_compressor(deflater);
  if (spec.cut_stream) stream.resize(stream.size() / 2);

  std::string png = "\x89PNG\r\n\x1a\n", header;
  put32(&header, spec.width);
  put32(&header, spec.height);
  header += {(char)spec.depth, (char)spec.colour, 0, 0, (char)spec.interlace};
  chunk(&png, "IHDR", header);
  chunk(&png, "tEXt", std::string("Comment\0made by a test", 22));
  if (!spec.before_data.empty()) chunk(&png, spec.before_data.c_str(), std::string(6, '\x10'));
  u64 piece = stream.size() / spec.pieces + 1;
  for (u64 at = 0; at < stream.size(); at += piece) chunk(&png, "IDAT", stream.substr(at, piece));
  if (spec.bad_crc) png[png.size() - 1] ^= 1;
  chunk(&png, "IEND", "");
  return png;
}

std::vector<u8> reference_rgba(const std::string& png) {
  spng_ctx* context = spng_ctx_new(0);
  spng_set_png_buffer(context, png.data(), png.size());
  size_t length = 0;
  std::vector<u8> rgba;
  if (spng_decoded_image_size(context, SPNG_FMT_RGBA8, &length) == 0) {
    rgba.resize(length);
    if (spng_decode_image(context, rgba.data(), length, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
      rgba.clear();
  }
  spng_ctx_free(context);
  return rgba;
}

TEST(PngDirect, EveryFilterAndColourTypeReadsAsLibspngReadsIt) {
  for (u8 colour : {0, 2, 4, 6})
    for (int filter = -1; filter <= 4; ++filter)
      for (u32 width : {1u, 2u, 7u, 64u})
        for (u32 pieces : {1u, 3u}) {
          Png spec;
          spec.colour = colour, spec.filter = filter, spec.width = width, spec.pieces = pieces;
          std::string png = make_png(spec);
          DecodedImage image = {};
          ASSERT_TRUE(png_decode_direct((const u8*)png.data(), png.size(), &image))
              << "colour " << (int)colour << " filter " << filter << " width " << width;
          std::vector<u8> reference = reference_rgba(png);
          ASSERT_EQ(std::vector<u8>(image.rgba.data, image.rgba.data + image.rgba.count), reference)
              << "colour " << (int)colour << " filter " << filter << " width " << width;
          EXPECT_EQ(image.channels, (u32)(colour == 0 ? 1 : colour == 4 ? 2 : colour == 2 ? 3 : 4));
          zu_array_destroy(&image.rgba);
        }
}

TEST(PngDirect, LeavesOtherKindsAndDamagedFilesToLibspng) {
  // Each: the spec, and whether libspng reads it (the direct reader never does).
  struct Case {
    const char* what;
    Png spec;
    bool readable;
  };
  auto with = [](auto change) {
    Png spec;
    change(&spec);
    return spec;
  };
  const Case cases[] = {
      // One pixel: the interlaced layout is the plain one.
      {"interlaced", with([](Png* s) { s->interlace = 1, s->width = s->height = 1; }), true},
      {"16-bit", with([](Png* s) { s->depth = 16; }), true},
      {"transparency chunk", with([](Png* s) { s->colour = 2, s->before_data = "tRNS"; }), true},
      {"unknown critical chunk", with([](Png* s) { s->before_data = "QQQQ"; }), false},
      // A chunk checksum that does not hold over intact image data: libspng
      // goes by the stream's own checksum.
      {"damaged IDAT checksum", with([](Png* s) { s->bad_crc = true; }), true},
      {"stream cut short", with([](Png* s) { s->cut_stream = true; }), false},
      {"filter byte 5", with([](Png* s) { s->filter = 5; }), false},
  };
  for (const Case& c : cases) {
    std::string png = make_png(c.spec);
    DecodedImage image = {};
    EXPECT_FALSE(png_decode_direct((const u8*)png.data(), png.size(), &image)) << c.what;
    EXPECT_EQ(!reference_rgba(png).empty(), c.readable) << c.what;
    zu_array_destroy(&image.rgba);
  }
}

}  // namespace
