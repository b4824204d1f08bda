// SPDX-License-Identifier: Zlib
// Verifying an archive file before a build step reads it.
#pragma once

#include "zu_sys.h"

// Maps the file at path and checks it as tov_archive_verify does; on a
// fault writes why into message (message_size bytes) and returns false.
bool archive_verify_file(const char* path, char* message, u64 message_size);
