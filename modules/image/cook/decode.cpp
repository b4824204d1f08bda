// SPDX-License-Identifier: Zlib
#include "decode.h"

#include "png_direct.h"

#include <stdio.h>
#include <string.h>

#include <jpeglib.h>
#include <setjmp.h>
#include <spng.h>

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
  zu_array_resize(&image->rgba, (u64)width * height * 4);
  return true;
}

bool decode_png(const u8* bytes, u64 size, DecodedImage* image, const char** error) {
  if (png_decode_direct(bytes, size, image)) return true;
  spng_ctx* context = spng_ctx_new(0);
  spng_ihdr header;
  size_t length = 0;
  int status = spng_set_png_buffer(context, bytes, size);
  if (!status) status = spng_get_ihdr(context, &header);
  if (!status && !sized(image, header.width, header.height, error)) {
    spng_ctx_free(context);
    return false;
  }
  if (!status) status = spng_decoded_image_size(context, SPNG_FMT_RGBA8, &length);
  if (!status && length != image->rgba.count) status = SPNG_EOVERFLOW;
  if (!status)
    status = spng_decode_image(context, image->rgba.data, length, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
  bool has_transparency = false;
  spng_trns transparency;
  if (!status) has_transparency = spng_get_trns(context, &transparency) == 0;
  spng_ctx_free(context);
  if (status) {
    *error = spng_strerror(status);
    return false;
  }
  switch (header.color_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE:
      image->channels = has_transparency ? 2 : 1;
      break;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      image->channels = 2;
      break;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      image->channels = 4;
      break;
    default:
      image->channels = has_transparency ? 4 : 3;
      break;
  }
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
