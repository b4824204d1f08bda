// SPDX-License-Identifier: Zlib
// Splitting a loop over many independent items (files to check, open or
// copy) across the machine's processors.
#pragma once

#include "zu_sys.h"

typedef void (*ZuPartFunction)(void* argument, u64 begin, u64 end);

// Runs function over [0, count) in contiguous parts, one per processor (at
// most 8), each part at least min_part items; the calling thread runs the
// first part itself and returns when every part has run. Few items run on
// the calling thread alone. function must not end the process: parts record
// their failures for the caller to report in order.
void zu_parallel_parts(u64 count, u64 min_part, ZuPartFunction function, void* argument);
