// SPDX-License-Identifier: Zlib
// The KTX 2.0 container around a texture's encoded levels.
#pragma once

#include "encode.h"

struct EncodedLevel {
  u32 width, height;
  ZuArray<u8> bytes;
};

// The Vulkan format of settings (vkFormat).
u32 ktx2_vk_format(const EncodeSettings* settings);

// The whole file: header, level index, data format descriptor, key/value
// data, then the levels, smallest first.
void ktx2_write(const EncodeSettings* settings, const EncodedLevel* levels, u32 level_count,
                ZuArray<u8>* out);
