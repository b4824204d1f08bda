// SPDX-License-Identifier: Zlib
// Log lines of the tool: a time stamp, the log type in 15 columns, the
// logging statement's line in 4 and its file's base name in 30.
#pragma once

#include "zu_sys.h"

#define TOV_LOG(format, ...)                                                                \
  sys_printf_logtype("TOV", "%#T|%-15s|%4u:%-30s " format, "TOV", (u32)__LINE__, \
                     __FILE_NAME__ __VA_OPT__(, ) __VA_ARGS__)
