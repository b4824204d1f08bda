// SPDX-License-Identifier: Zlib
#pragma once

#include "tov/tov_build.h"

// Cooks one image into a KTX 2.0 texture (see cook_texture.cpp).
u32 cook_texture(CommandContext* context);
