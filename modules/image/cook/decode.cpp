// SPDX-License-Identifier: Zlib
#include "decode.h"

#include <stdio.h>
#include <string.h>

#include <jpeglib.h>
#include <png.h>
#include <setjmp.h>

#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

bool sized(DecodedImage* image, u32 width, u32 height, const char** error) {
  if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) {
    *error = "the image is empty or larger than 16384 pixels on a side";
    return false;
  }
  image->width = width;
  image->height = height;
  // Not zeroed first: every decoder writes every byte, or fails.
  zu_array_reserve(&image->rgba, (u64)width * height * 4);
  image->rgba.count = width * height * 4;
  return true;
}

// The file's bytes as libpng reads them, from memory.
struct PngSource {
  const u8* bytes;
  u64 size, at;
};

// libpng reports errors through a callback that must not return; the
// message is kept for the caller, warnings are of no use to a build.
void png_fail(png_structp png, png_const_charp message) {
  static thread_local char text[256];
  snprintf(text, sizeof(text), "%s", message);
  *(const char**)png_get_error_ptr(png) = text;
  png_longjmp(png, 1);
}

void png_ignore(png_structp, png_const_charp) {}

png_voidp png_allocate(png_structp, png_alloc_size_t size) { return sys_malloc(size); }
void png_release(png_structp, png_voidp block) { sys_free(block); }

void png_read_bytes(png_structp png, png_bytep out, size_t count) {
  PngSource* source = (PngSource*)png_get_io_ptr(png);
  if (count > source->size - source->at) png_error(png, "the file ends early");
  memcpy(out, source->bytes + source->at, count);
  source->at += count;
}

bool decode_png(const u8* bytes, u64 size, DecodedImage* image, const char** error) {
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, error, png_fail, png_ignore,
                                             nullptr, png_allocate, png_release);
  if (!png) {
    *error = "libpng is not the version this library was built with";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  png_bytep* volatile rows = nullptr;  // read again after a longjmp
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    sys_free(rows);
    return false;
  }
  PngSource source = {bytes, size, 0};
  png_set_read_fn(png, &source, png_read_bytes);
  // The chunks' CRCs, which libpng checks, already cover every compressed
  // byte; the stream's own checksum would cost a second pass for nothing.
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  png_read_info(png, info);
  u32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  int color_type = png_get_color_type(png, info);
  bool has_transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (!sized(image, width, height, error)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Every kind of PNG becomes 8-bit RGBA: palettes and small greys
  // expanded, the transparency chunk made alpha, 16 bits cut to 8.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  rows = (png_bytep*)sys_malloc(height * sizeof(png_bytep));
  for (u32 y = 0; y < height; ++y) rows[y] = image->rgba.data + (u64)y * width * 4;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  sys_free(rows);
  bool grey = (color_type & PNG_COLOR_MASK_COLOR) == 0;
  bool alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0 || has_transparency;
  image->channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
  return true;
}

// libjpeg reports errors through a callback that must not return.
struct JpegError {
  jpeg_error_mgr manager;
  jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr info) {
  JpegError* error = (JpegError*)info->err;
  (*info->err->format_message)(info, error->message);
  longjmp(error->back, 1);
}

bool decode_jpeg(const u8* bytes, u64 size, DecodedImage* image, const char** error) {
  jpeg_decompress_struct info;
  static thread_local JpegError failure;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = jpeg_fail;
  u8* volatile row = nullptr;  // read again after a longjmp
  if (setjmp(failure.back)) {
    jpeg_destroy_decompress(&info);
    sys_free(row);
    *error = failure.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes, (unsigned long)size);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&info);
  if (!sized(image, info.output_width, info.output_height, error)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  u32 components = (u32)info.output_components;
  image->channels = components == 1 ? 1 : 3;
  row = (u8*)sys_malloc((u64)info.output_width * components);
  while (info.output_scanline < info.output_height) {
    u8* out = image->rgba.data + (u64)info.output_scanline * info.output_width * 4;
    JSAMPROW rows[] = {(JSAMPROW)row};
    jpeg_read_scanlines(&info, rows, 1);
    for (u32 x = 0; x < info.output_width; ++x) {
      const u8* in = row + (u64)x * components;
      out[x * 4 + 0] = in[0];
      out[x * 4 + 1] = in[components == 1 ? 0 : 1];
      out[x * 4 + 2] = in[components == 1 ? 0 : 2];
      out[x * 4 + 3] = 255;
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  sys_free(row);
  return true;
}

bool decode_tga(const u8* bytes, u64 size, DecodedImage* image, const char** error) {
  int width, height, channels;
  if (size > 0x7FFFFFFF || !stbi_info_from_memory(bytes, (int)size, &width, &height, &channels)) {
    *error = stbi_failure_reason();
    return false;
  }
  if (!sized(image, (u32)width, (u32)height, error)) return false;
  stbi_uc* pixels = stbi_load_from_memory(bytes, (int)size, &width, &height, &channels, 4);
  if (!pixels) {
    *error = stbi_failure_reason();
    return false;
  }
  memcpy(image->rgba.data, pixels, image->rgba.count);
  stbi_image_free(pixels);
  image->channels = (u32)channels;
  return true;
}

bool ends_with(const char* text, const char* ending) {
  return name_ends_with(text, strlen(text), ending);
}

}  // namespace

bool name_ends_with(const char* text, u64 length, const char* ending) {
  u64 n = strlen(ending);
  if (length < n) return false;
  for (u64 i = 0; i < n; ++i) {
    char c = text[length - n + i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != ending[i]) return false;
  }
  return true;
}

bool decode_image(const char* path, const u8* bytes, u64 size, DecodedImage* image,
                  const char** error) {
  *image = {};
  if (ends_with(path, ".png")) return decode_png(bytes, size, image, error);
  if (ends_with(path, ".jpg") || ends_with(path, ".jpeg"))
    return decode_jpeg(bytes, size, image, error);
  if (ends_with(path, ".tga")) return decode_tga(bytes, size, image, error);
  *error = "no decoder for this ending (.png, .jpg, .jpeg, .tga)";
  return false;
}
