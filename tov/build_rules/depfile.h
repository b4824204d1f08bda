// SPDX-License-Identifier: Zlib
// Reading back a depfile the tool wrote (tov_write_depfile).
#pragma once

#include "zu_array.h"
#include "zu_string.h"

// Appends the inputs a depfile names, unescaped, to inputs; false when it
// cannot be read or names no output.
bool depfile_read(const char* path, ZuArray<ZuString>* inputs);
