// SPDX-License-Identifier: Zlib
// What --tov-cache, --tov-launcher and --tov-remote-jobs change in a
// generated build (remote_rules.cpp); nothing without them.
#pragma once

#include "zu_string.h"
#include "zu_sys.h"

// The launcher variable and the remote pool, before the rule files' includes.
void remote_rules_write_variables(ZuFile* file);
// Whether any of the three options is given.
bool remote_rules_requested(void);
// One line of a rule file's copy, as the options change it (appended to
// out); rule names the rule block the line is in ("" outside one): the
// cache for every step of the tool, the launcher and the pool for the
// expensive ones.
void remote_rules_rewrite_line(const char* line, u64 length, const char* rule, ZuString* out);
