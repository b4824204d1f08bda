// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <stdio.h>

#include "ninja/build_rule_table.h"
#include "test_support.h"

namespace {

struct Found {
  bool found;
  std::vector<std::string> commands;
  std::vector<std::string> outputs;
};

Found lookup(const char* name) {
  const BuildRule* first = nullptr;
  const BuildRule* end = nullptr;
  Found result;
  result.found = find_build_rules(name, file_ending(name), &first, &end);
  for (const BuildRule* rule = first; result.found && rule < end; ++rule) {
    result.commands.push_back(zu_string_text(&rule->command));
    result.outputs.push_back(zu_string_text(&rule->outputs.data[0].ending));
  }
  return result;
}

void register_rule(const char* ending, const char* command) {
  BuildRule rule;
  build_rule_make(&rule, ending, command, ending, 2);
  tov_register_build_rule(&rule, 1);
  zu_destroy(&rule);
}

// The log lines without their time stamps.
std::string without_stamps(const std::string& text) {
  std::string result;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at, end - at);
    if (line.size() > 25 && line[24] == '|') line = line.substr(25);
    result += line + "\n";
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return result;
}

}  // namespace

TEST(BuildRuleTableDeathTest, NoRuleGivesErrorSuggestionsAndFatalMessage) {
  std::string log = child_output([] { lookup("x.md"); }, 255,
                                 exit_message("ERROR: No rules found that matches filename 'x.md', "
                                              "aborting..."));
  // "TOV" in 15 columns, the line in 4, the file's base name in 30.
  std::string line = without_stamps(log);
  EXPECT_EQ(line.substr(0, 16), "TOV            |");
  EXPECT_EQ(line.substr(20, 32), ":build_rule_table.cpp           ");
  log = child_output(
      [] {
        register_rule(".shader.hlsl", "copy");
        register_rule(".bin", "nullterminate");  // a second rule for an ending adds to the first
        if (lookup("x.bin").commands.size() != 2) abort();
        lookup("x.hlsl");
      },
      255, "No rules found that matches filename 'x.hlsl'");
  std::string expected_suggestion = "Did you mean '.shader.hlsl' instead of '.hlsl'?\n";
  EXPECT_NE(log.find(expected_suggestion), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  // Endings compare byte for byte.
  child_output([] { lookup("X.H"); }, 255, "No rules found that matches filename 'X.H'");
}
