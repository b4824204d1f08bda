// SPDX-License-Identifier: Zlib
// The watcher: tov --tov-watch BUILD_DIR (watch.cpp).
#pragma once

#include "zu_sys.h"

// Whether the command line asks for the watcher.
bool watch_requested(void);
// Watches and builds until Ctrl-C; returns the process's result.
u32 watch_run(void);
