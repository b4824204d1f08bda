// SPDX-License-Identifier: Zlib
#pragma once

#include "tov/tov_build.h"

// Cooks one font into a distance-field atlas (see cook_font.cpp).
u32 cook_font(CommandContext* context);
