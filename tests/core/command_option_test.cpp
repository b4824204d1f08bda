// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_option.h"
#include "test_support.h"

ZU_COMMAND_OPTION(g_opt_dir, 0, "opt-dir", "Directories", kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_opt_out, 0, "opt-out", "Output", kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_opt_level, 'l', "opt-level", "A number", kOptionOne, kOptionUint);
ZU_COMMAND_OPTION(g_opt_quiet, 'q', "opt-quiet", "A flag", kOptionFlag, kOptionNone);

namespace {

using Strings = std::vector<std::string>;

u32 count_records(const char* long_name) {
  u32 count = 0;
  for (CommandOption* option = command_option_head(); option; option = option->next)
    count += strcmp(option->long_name, long_name) == 0;
  return count;
}

std::string pad(const std::string& text, size_t width) {
  return text + std::string(text.size() < width ? width - text.size() : 0, ' ');
}

// Parses with the internal entry point: stop at "--", keep single values already set.
i32 parse_with(std::vector<std::string> args, u8 stop_at_dashes, u8 keep_existing) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  command_option_lock();
  CommandOptionParseState state;
  zu_small_array_init(&state.seen);
  state.working_dir_applied = 0;
  i32 parsed = command_option_parse_arguments((i32)argv.size(), argv.data(), 1, &state,
                                              stop_at_dashes, keep_existing);
  zu_small_array_destroy(&state.seen);
  command_option_unlock();
  return parsed;
}

}  // namespace

TEST(CommandOption, RegistrationAndCollisions) {
  EXPECT_EQ(command_option_find("opt-level"), g_opt_level);
  EXPECT_EQ(command_option_find("opt"), nullptr);  // exact names only
  // The same registration again is the same record.
  CommandOption* handle = nullptr;
  EXPECT_EQ(command_option_register(&handle, 0, "opt-out", 0, 0, "Output", 0, kOptionOne,
                                    kOptionString, g_opt_out->source_file, g_opt_out->source_line),
            &handle);
  EXPECT_EQ(handle, g_opt_out);
  EXPECT_EQ(count_records("opt-out"), 1u);
  // Options without a short name never collide on it; the newest comes first.
  CommandOption *first = nullptr, *second = nullptr;
  command_option_register(&first, 0, "opt-x", 0, 0, "x", 0, kOptionFlag, kOptionNone, "r.cpp", 1);
  command_option_register(&second, 0, "opt-y", 0, 0, "y", 0, kOptionFlag, kOptionNone, "r.cpp", 2);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(command_option_head(), second);
  struct {
    char short_name;
    const char* name;
    u8 arity, type;
    std::string message;
  } bad[] = {{0, "opt-out", kOptionOne, kOptionString,
              "Command collision between '/opt-out' and '/opt-out' found, aborted\n"},
             {'l', "opt-other", kOptionFlag, kOptionNone,
              "Command collision between 'l/opt-other' and 'l/opt-level' found, aborted\n"},
             {0, "opt-bad", kOptionFlag, kOptionString,
              "ERROR: Illegal command 'opt-bad' registered (file: 'other.cpp', line: 3)\n"}};
  for (const auto& c : bad)
    EXPECT_EXIT(command_option_register(&handle, c.short_name, c.name, 0, 0, "again", 0,
                                        (CommandOptionArity)c.arity, (CommandOptionType)c.type,
                                        "other.cpp", 3),
                testing::ExitedWithCode(255), exit_message(c.message));
}

TEST(CommandOption, ParsingAndTypedValues) {
  TestHost host;
  parse_arguments({"--opt-dir", "a", "b", "--opt-out", "\\-17", "--opt-quiet", "--opt-dir", "c",
                   "--opt-level", "12abc"});
  EXPECT_EQ(option_values(&g_opt_dir), (Strings{"a", "b", "c"}));  // repeats gather
  EXPECT_EQ(option_values(&g_opt_out), Strings{"-17"});  // a backslash lets a value begin with '-'
  EXPECT_EQ(command_option_value_int(&g_opt_out, 0), -17);
  EXPECT_EQ(command_option_value_uint(&g_opt_level, 0), 12u);
  EXPECT_TRUE(command_option_is_set(&g_opt_quiet));
  parse_arguments({"--opt-out", "True"});  // only "true" is true
  EXPECT_FALSE(command_option_value_bool(&g_opt_out, 0));
  EXPECT_FALSE(command_option_is_set(&g_opt_dir));  // every parse starts from unset options

  // Lenient parsing skips what it does not know; there is no --name=value form.
  parse_arguments({"stray", "--opt-out=x", "--unknown", "v", "-Z", "-qZ"});
  EXPECT_FALSE(command_option_is_set(&g_opt_out));
  EXPECT_TRUE(command_option_is_set(&g_opt_quiet));
  // Flag groups, prefix options, and "--" that ends the options.
  parse_arguments({"-cq", "-epicapp=MyGame", "next"});
  EXPECT_TRUE(command_option_is_set(command_option_find("console")->handle));
  EXPECT_TRUE(command_option_is_set(&g_opt_quiet));
  EXPECT_EQ(option_values(command_option_find("-epicapp=")->handle), Strings{"MyGame"});
  parse_arguments({"-epicapp=", "next"});  // empty value; "next" is not taken
  EXPECT_EQ(option_values(command_option_find("-epicapp=")->handle), Strings{""});
  EXPECT_EQ(parse_with({"--opt-quiet", "--", "--opt-out", "x"}, 1, 0), 2);
  EXPECT_FALSE(command_option_is_set(&g_opt_out));
  // Keeping existing values ignores a second single value.
  parse_arguments({"--opt-out", "first"});
  parse_with({"--opt-out", "second", "--opt-dir", "d"}, 0, 1);
  EXPECT_EQ(option_values(&g_opt_out), Strings{"first"});
  EXPECT_EQ(option_values(&g_opt_dir), Strings{"d"});
}

TEST(CommandOption, HelpAndFailures) {
  TestHost host;
  parse_arguments({"--opt-quiet", "-l", "3"});
  testing::internal::CaptureStdout();
  command_option_print_help();
  fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("Available options:\n", 0), 0u);
  EXPECT_NE(out.find("\n     --" + pad("opt-dir", 30) + "Directories\n"), std::string::npos);
  EXPECT_NE(out.find("\n  -l/--" + pad("opt-level", 30) + "A number\n"), std::string::npos);

  struct {
    Strings args;
    bool lenient;
    std::string message;
  } cases[] = {
      {{"--opt-out", "x", "y"}, true, "Multiple arguments given for command '/opt-out', aborted\n"},
      {{"--opt-out"},
       true,
       "Command '/opt-out' expected argument(s) but no argument was provided, aborted\n"},
      {{"-cl"}, true, "Command 'l/opt-level' cannot be combined with other commands, aborted\n"},
      {{"plain"}, false, "Command 'plain' doesn't begin with '-', aborted\n"},
  };
  for (const auto& c : cases)
    EXPECT_EXIT(parse_arguments(c.args, c.lenient), testing::ExitedWithCode(255),
                exit_message(c.message));
  EXPECT_EXIT(
      {
        CommandOption* required = nullptr;
        command_option_register(&required, 0, "opt-required", 0, 0, "needed", 1, kOptionOne,
                                kOptionString, "r.cpp", 1);
        parse_arguments({"--opt-quiet"});
      },
      testing::ExitedWithCode(255),
      exit_message("Required argument for '/opt-required' is missing, aborted\n"));
  // A strict parse prints the help before it fails.
  std::string help = child_output([] { parse_arguments({"--nothing"}, false); }, 255,
                                  "No command named 'nothing'");
  EXPECT_EQ(help.rfind("Available options:\n", 0), 0u);
}
