// SPDX-License-Identifier: Zlib
// Builds beyond one machine: with --tov-cache every step asks a shared
// cache first, and with --tov-launcher the steps of expensive commands
// (C/C++ data, cooking: the rules cxx, compile_* and cook_*) start through
// a launcher such as "srun --quiet", at most --tov-remote-jobs at once. The
// copies of the rule files next to build.ninja carry this; without these
// options they stay exact copies and build.ninja is unchanged.
#include "remote_rules.h"

#include "command_option.h"
#include "ninja_text.h"
#include "zu_string.h"

ZU_COMMAND_OPTION(g_tov_launcher, 0, "tov-launcher",
                  "Command the steps of expensive commands (C/C++ data, cooking) start through, "
                  "such as \"srun --quiet\"",
                  kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_tov_remote_jobs, 0, "tov-remote-jobs",
                  "Steps of expensive commands running at once (a Ninja pool), with or without "
                  "--tov-launcher",
                  kOptionOne, kOptionUint);

namespace {

const char* cache_url(void) {
  CommandOption* cache = command_option_find("tov-cache");
  return cache && command_option_is_set(&cache) ? zu_string_text(command_option_value(&cache, 0))
                                                : nullptr;
}

bool verbose(void) {
  CommandOption* option = command_option_find("tov-verbose");
  return option && command_option_is_set(&option);
}

bool expensive(const char* rule) {
  return sys_strequal(rule, "cxx") || strncmp(rule, "cook_", 5) == 0 ||
         strncmp(rule, "compile_", 8) == 0;
}

}  // namespace

bool remote_rules_requested(void) {
  return cache_url() || command_option_is_set(&g_tov_launcher) ||
         command_option_is_set(&g_tov_remote_jobs);
}

void remote_rules_rewrite_line(const char* line, u64 length, const char* rule, ZuString* out) {
  const char kCommand[] = "  command = ";
  const u64 prefix = sizeof(kCommand) - 1;
  const char* boot = length > prefix && strncmp(line, kCommand, prefix) == 0
                         ? (const char*)memmem(line, length, "\"$boot\"", 7)
                         : nullptr;
  if (!boot) {
    zu_string_add_range(out, line, line + length);
    return;
  }
  bool remote = rule[0] && expensive(rule);
  // The launcher starts the tool itself: shell words before it (the cxx
  // rule's header list) stay on this machine.
  zu_string_add_range(out, line, boot);
  if (remote && command_option_is_set(&g_tov_launcher)) zu_string_add_text(out, "$tov_launcher ");
  zu_string_add_range(out, boot, boot + 7);
  if (const char* url = cache_url()) {
    zu_string_add_text(out, " --tov-cache \"");
    zu_string_add_text(out, url);
    zu_string_add_text(out, "\"");
    // Each step says whether the cache served it.
    if (verbose() && !memmem(line, length, "--tov-verbose", 13))
      zu_string_add_text(out, " --tov-verbose");
  }
  zu_string_add_range(out, boot + 7, line + length);
  if (remote && command_option_is_set(&g_tov_remote_jobs))
    zu_string_add_text(out, "\n  pool = tov_remote");
}

void remote_rules_write_variables(ZuFile* file) {
  if (const char* url = cache_url()) {
    for (const char* at = url; *at; ++at)
      if (*at == '"' || *at == '\\' || *at == '$' || *at == '`' || *at == '\n')
        sys_exit(-1, "ERROR: --tov-cache '%s' holds a character a URL may not, aborting...", url);
  }
  if (command_option_is_set(&g_tov_launcher)) {
    const char* launcher = zu_string_text(command_option_value(&g_tov_launcher, 0));
    if (strchr(launcher, '\n'))
      sys_exit(-1, "ERROR: --tov-launcher holds a line break, aborting...");
    ZuString value;
    zu_string_init(&value, "tov_launcher = ");
    for (const char* at = launcher; *at; ++at) {
      if (*at == '$') zu_string_add_char(&value, '$');  // Ninja's escape
      zu_string_add_char(&value, *at);
    }
    zu_string_add_char(&value, '\n');
    ninja_write(file, zu_string_text(&value));
    zu_string_destroy(&value);
  }
  if (command_option_is_set(&g_tov_remote_jobs)) {
    u64 jobs = command_option_value_uint(&g_tov_remote_jobs, 0);
    if (jobs == 0) sys_exit(-1, "ERROR: --tov-remote-jobs must be 1 or more, aborting...");
    ninja_writef(file, "pool tov_remote\n  depth = %llu\n", (unsigned long long)jobs);
  }
}
