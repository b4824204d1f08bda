// SPDX-License-Identifier: Zlib
// Options the tool does not know. The parser skips them, as the host and
// modules loaded later own options of their own; once every module has
// registered its options, a "--tov-" option that none knows is a mistake.
#pragma once

// Ends the process naming the first unknown "--tov-" option and the
// closest known names.
void check_unknown_options(void);
