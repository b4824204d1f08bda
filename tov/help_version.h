// SPDX-License-Identifier: Zlib
#pragma once

// Prints the help or the version when asked for; true when it did.
bool tov_answer_help_or_version(void);
