// SPDX-License-Identifier: Zlib
// The copies of the SDK's rule files beside build.ninja, changed as
// options ask (rule_copies.cpp); exact copies without them.
#pragma once

// Rewrites the copy at path: what --tov-cache, --tov-launcher and
// --tov-remote-jobs change (remote_rules.h), and for --tov-overlay the pack
// of a development archive, whose step may leave the archive as it was.
void rule_copies_rewrite(const char* path);
