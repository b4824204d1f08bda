// SPDX-License-Identifier: Zlib
// Colour helpers for shaders, found with #include <tov_color.glsl>: the SDK's
// shader folder is searched after the including file's own.
#ifndef TOV_COLOR_GLSL
#define TOV_COLOR_GLSL

// sRGB-encoded values to linear light, and back (IEC 61966-2-1).
vec3 tov_srgb_to_linear(vec3 c) {
  return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), greaterThan(c, vec3(0.04045)));
}
vec3 tov_linear_to_srgb(vec3 c) {
  return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, greaterThan(c, vec3(0.0031308)));
}

#endif
