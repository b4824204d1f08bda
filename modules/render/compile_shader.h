// SPDX-License-Identifier: Zlib
#pragma once

#include "tov/tov_build.h"

// The endings compile_shader takes, one per pipeline stage.
const char* const* shader_stage_endings(u32* count);

// Compiles one shader stage into SPIR-V (see compile_shader.cpp).
u32 compile_shader(CommandContext* context);
