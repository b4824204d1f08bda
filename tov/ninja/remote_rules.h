// SPDX-License-Identifier: Zlib
// What --tov-cache, --tov-launcher and --tov-remote-jobs change in a
// generated build (remote_rules.cpp); nothing without them.
#pragma once

#include "zu_sys.h"

// The launcher variable and the remote pool, before the rule files' includes.
void remote_rules_write_variables(ZuFile* file);
// Rewrites the copy of a rule file at path: the cache for every step of the
// tool, the launcher and the pool for the expensive ones.
void remote_rules_rewrite(const char* path);
