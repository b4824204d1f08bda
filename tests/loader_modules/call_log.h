// SPDX-License-Identifier: Zlib
// A log that the loader's test modules and the test program share: one
// shared library, so every module writes into the same text.
#pragma once

extern "C" {
__attribute__((visibility("default"))) void call_log_add(const char* line);
__attribute__((visibility("default"))) const char* call_log_text(void);
__attribute__((visibility("default"))) void call_log_clear(void);
}
