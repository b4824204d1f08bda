// SPDX-License-Identifier: Zlib
// The unit tests see the tables as zu_init leaves them.
#include "tov_entry.h"

namespace {
[[maybe_unused]] const int g_registered = (tov_register_builtins(), 0);
}  // namespace
