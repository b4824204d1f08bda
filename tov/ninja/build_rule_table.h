// SPDX-License-Identifier: Zlib
// The build-rule table: for every file ending, the Ninja rule that turns a
// source into which outputs. Process-wide, sorted by ending hash, filled
// during start-up and never freed.
#pragma once

#include "tov/tov_build.h"

// A rule with one output, its ending hash computed (the built-in rules).
void build_rule_make(BuildRule* rule, const char* ending, const char* command,
                     const char* output_ending, u16 type);

// The ending of a file name: from the first '.' of its base name (after the
// last '/'), or null when the base name has no '.'.
const char* file_ending(const char* name);

// The run of rules for ending, in table order. False (and no message) when
// the ending is only some rule's extra-input suffix; a file no rule matches
// ends the process with the error and its suggestions.
bool find_build_rules(const char* source, const char* ending, const BuildRule** first,
                      const BuildRule** end);

const ZuArray<BuildRule>* build_rule_table(void);
// The rule for files whose ending no rule knows (an endings file's '*'
// line); copied. Without one, such a file ends generation as before.
void build_rule_set_fallback(const BuildRule* rule);
bool build_rule_has_fallback(void);

void register_builtin_build_rules(void);
