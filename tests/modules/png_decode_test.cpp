// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <spng.h>

#include <string>
#include <vector>

#include "png_direct.h"

namespace {

struct Png {
  u32 width = 7, height = 6;
  u8 depth = 8, colour = 6, interlace = 0;
  int filter = -1;              // every row's filter (5 is none known), or row y takes y % 5
  u32 pieces = 1;               // IDAT chunks
  const char* extra = nullptr;  // a chunk's type, put before the image data
  bool bad_crc = false, cut_stream = false;
};

// A PNG of pseudo-random pixels, every other row from four values only,
// where the filters' ties lie.
std::string make_png(const Png& spec) {
  auto put32 = [](std::string* out, u32 v) {
    *out += {(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
  };
  std::string png = "\x89PNG\r\n\x1a\n";
  auto chunk = [&](const char* type, const std::string& data) {
    put32(&png, (u32)data.size());
    std::string body = type + data;
    png += body;
    put32(&png, libdeflate_crc32(0, body.data(), body.size()));
  };
  static const u32 kChannels[7] = {1, 0, 3, 0, 2, 0, 4};
  u32 step = kChannels[spec.colour] * spec.depth / 8, stride = spec.width * step, seed = 1;
  std::vector<int> pixels((u64)stride * spec.height);
  for (u64 i = 0; i < pixels.size(); ++i)
    pixels[i] = (int)(((seed = seed * 1103515245 + 12345) >> 16) % (i / stride % 2 ? 4 : 256));
  std::string rows;
  for (u32 y = 0; y < spec.height; ++y) {
    int filter = spec.filter >= 0 ? spec.filter : (int)(y % 5);
    rows += (char)filter;
    for (u32 x = 0; x < stride; ++x) {
      int a = x >= step ? pixels[y * stride + x - step] : 0,
          b = y ? pixels[(y - 1) * stride + x] : 0;
      int c = x >= step && y ? pixels[(y - 1) * stride + x - step] : 0;
      int pa = abs(b - c), pb = abs(a - c), pc = abs(a + b - 2 * c);
      int predicted[6] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c, 0};
      rows += (char)(pixels[y * stride + x] - predicted[filter]);
    }
  }
  libdeflate_compressor* deflater = libdeflate_alloc_compressor(6);
  std::string stream(libdeflate_zlib_compress_bound(deflater, rows.size()), '\0');
  stream.resize(
      libdeflate_zlib_compress(deflater, rows.data(), rows.size(), stream.data(), stream.size()));
  libdeflate_free_compressor(deflater);
  if (spec.cut_stream) stream.resize(stream.size() / 2);
  std::string header;
  put32(&header, spec.width);
  put32(&header, spec.height);
  chunk("IHDR",
        header + std::string{(char)spec.depth, (char)spec.colour, 0, 0, (char)spec.interlace});
  chunk("tEXt", std::string("Comment\0by a test", 17));
  if (spec.extra) chunk(spec.extra, std::string(6, '\x10'));
  u64 piece = stream.size() / spec.pieces + 1;
  for (u64 at = 0; at < stream.size(); at += piece) chunk("IDAT", stream.substr(at, piece));
  if (spec.bad_crc) png.back() ^= 1;
  chunk("IEND", "");
  return png;
}

// libspng's RGBA, empty when it refuses the file.
std::vector<u8> reference(const std::string& png) {
  spng_ctx* context = spng_ctx_new(0);
  spng_set_png_buffer(context, png.data(), png.size());
  size_t length = 0;
  std::vector<u8> rgba;
  if (spng_decoded_image_size(context, SPNG_FMT_RGBA8, &length) == 0) rgba.resize(length);
  if (spng_decode_image(context, rgba.data(), length, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
    rgba.clear();
  spng_ctx_free(context);
  return rgba;
}

TEST(PngDirect, ReadsEveryFilterAndColourTypeAsLibspngDoes) {
  for (u8 colour : {0, 2, 4, 6})
    for (int filter = -1; filter <= 4; ++filter)
      for (u32 width : {1u, 2u, 7u, 64u}) {
        Png spec;
        spec.colour = colour, spec.filter = filter, spec.width = width, spec.pieces = width % 3 + 1;
        std::string png = make_png(spec);
        DecodedImage image = {};
        ASSERT_TRUE(png_decode_direct((const u8*)png.data(), png.size(), &image));
        EXPECT_EQ(std::vector<u8>(image.rgba.data, image.rgba.data + image.rgba.count),
                  reference(png))
            << "colour " << (int)colour << " filter " << filter << " width " << width;
        EXPECT_EQ(image.channels, colour == 0 ? 1u : colour == 4 ? 2u : colour == 2 ? 3u : 4u);
        zu_array_destroy(&image.rgba);
      }
}

TEST(PngDirect, LeavesOtherKindsAndDamagedFilesToLibspng) {
  Png interlaced, wide, keyed, unknown, damaged, cut, filter5;
  interlaced.interlace = 1, interlaced.width = interlaced.height = 1;  // laid out as if not
  wide.depth = 16, keyed.colour = 2, keyed.extra = "tRNS", unknown.extra = "QQQQ";
  damaged.bad_crc = true, cut.cut_stream = true, filter5.filter = 5;
  // What libspng makes of each: it reads past a chunk checksum over intact data.
  const std::pair<Png, bool> cases[] = {{interlaced, true}, {wide, true},    {keyed, true},
                                        {unknown, false},   {damaged, true}, {cut, false},
                                        {filter5, false}};
  for (u32 i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    std::string png = make_png(cases[i].first);
    DecodedImage image = {};
    EXPECT_FALSE(png_decode_direct((const u8*)png.data(), png.size(), &image)) << "case " << i;
    EXPECT_EQ(!reference(png).empty(), cases[i].second) << "case " << i;
    zu_array_destroy(&image.rgba);
  }
}

}  // namespace
