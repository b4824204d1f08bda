// SPDX-License-Identifier: Zlib
// Names inside archives and catalogues: paths relative to the build's
// output folder, made only of a-z, 0-9, '.', '/' and '_'.
#pragma once

#include "zu_sys.h"

bool archive_name_is_valid(const char* name);
// Ends the process naming the first name that is not valid.
void archive_name_check(const char* name);
