// SPDX-License-Identifier: Zlib
// Shared between the Windows files of the platform layer.
#pragma once

#include "../internal.h"

// The UTF-16 form of a UTF-8 path for the wide API; null when path is not
// UTF-8. sys_free it.
wchar_t* wide_path(const char* path);
// The stamp of an open file; false when the system cannot say.
bool stamp_from_handle(void* file, ZuFileStamp* out);
