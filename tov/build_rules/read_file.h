// SPDX-License-Identifier: Zlib
#pragma once

#include "zu_array.h"

// Reads the whole file at path into buffer; false when it cannot be read.
bool read_whole_file(const char* path, ZuArray<u8>* buffer);
