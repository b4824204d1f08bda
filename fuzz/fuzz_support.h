// SPDX-License-Identifier: Zlib
// What the fuzz targets share: fatal errors unwind back into the target
// instead of ending the process, since ending on bad input is the tool's
// documented behaviour, not a fault.
#pragma once

#include <setjmp.h>
#include <stddef.h>
#include <stdint.h>

#include "zu_sys.h"

extern jmp_buf g_fuzz_exit;

// Installs the handler once; returns false when the run ended fatally.
#define FUZZ_GUARD() (fuzz_install_exit_handler(), setjmp(g_fuzz_exit) == 0)

void fuzz_install_exit_handler(void);

// A file whose path the tool's functions can open, holding bytes (a memfd).
const char* fuzz_file(const uint8_t* bytes, size_t size);
