// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_option.h"
#include "test_support.h"

ZU_COMMAND_OPTION(g_parse_dir, 0, "parse-dir", "Directories", kOptionMany, kOptionString);
ZU_COMMAND_OPTION(g_parse_out, 0, "parse-out", "Output", kOptionOne, kOptionString);
ZU_COMMAND_OPTION(g_parse_count, 'n', "parse-count", "A count", kOptionOne, kOptionUint);
ZU_COMMAND_OPTION(g_parse_quiet, 'q', "parse-quiet", "A flag", kOptionFlag, kOptionNone);

namespace {

std::vector<std::string> values(CommandOption** handle) {
  std::vector<std::string> result;
  for (u64 i = 0; i < command_option_count(handle); ++i)
    result.push_back(zu_string_text(command_option_value(handle, i)));
  return result;
}

CommandOption* option(const char* long_name) { return command_option_find(long_name); }

}  // namespace

TEST(CommandOptionParse, ValuesFollowTheirOptionInOrder) {
  TestHost host;
  parse_arguments({"--parse-dir", "a", "b", "--parse-out", "x"});
  EXPECT_EQ(values(&g_parse_dir), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(values(&g_parse_out), (std::vector<std::string>{"x"}));
  // A leading backslash lets a value begin with a dash.
  parse_arguments({"--parse-out", "\\-x"});
  EXPECT_EQ(values(&g_parse_out), (std::vector<std::string>{"-x"}));
  // Every parse starts from unset options.
  EXPECT_FALSE(command_option_is_set(&g_parse_dir));
  // Repeated options gather their values.
  parse_arguments({"--parse-dir", "a", "--parse-quiet", "--parse-dir", "b"});
  EXPECT_EQ(values(&g_parse_dir), (std::vector<std::string>{"a", "b"}));
}

TEST(CommandOptionParse, LenientModeSkipsWhatItDoesNotKnow) {
  TestHost host;
  std::vector<std::string> args = {"stray", "--parse-out=x", "--unknown", "v", "-Z", "-qZ"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  EXPECT_EQ(command_option_parse((i32)argv.size(), argv.data(), 1), (i32)argv.size());
  EXPECT_FALSE(command_option_is_set(&g_parse_out));  // no --name=value form
  EXPECT_TRUE(command_option_is_set(&g_parse_quiet));
}

TEST(CommandOptionParse, FlagGroupsPrefixOptionsAndDoubleDash) {
  TestHost host;
  parse_arguments({"-c"});
  EXPECT_TRUE(command_option_is_set(option("console")->handle));
  parse_arguments({"-cq"});
  EXPECT_TRUE(command_option_is_set(option("console")->handle));
  EXPECT_TRUE(command_option_is_set(&g_parse_quiet));

  parse_arguments({"-epicapp=MyGame", "next"});
  CommandOption* app = option("-epicapp=");
  EXPECT_EQ(values(app->handle), (std::vector<std::string>{"MyGame"}));
  parse_arguments({"-epicapp=", "next"});  // empty value; next is not consumed
  EXPECT_EQ(values(app->handle), (std::vector<std::string>{""}));
  parse_arguments({"-EpicPortal"});
  EXPECT_TRUE(command_option_is_set(option("-EpicPortal")->handle));

  std::vector<std::string> args = {"--parse-quiet", "--", "--parse-out", "x"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  command_option_lock();
  CommandOptionParseState state;
  zu_small_array_init(&state.seen);
  state.working_dir_applied = 0;
  EXPECT_EQ(command_option_parse_arguments(4, argv.data(), 1, &state, 1, 0), 2);
  zu_small_array_destroy(&state.seen);
  command_option_unlock();
  EXPECT_FALSE(command_option_is_set(&g_parse_out));
}

TEST(CommandOptionParse, KeepExistingIgnoresASecondSingleValue) {
  TestHost host;
  parse_arguments({"--parse-out", "first"});
  std::vector<std::string> args = {"--parse-out", "second", "--parse-dir", "d"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  CommandOptionParseState state;
  zu_small_array_init(&state.seen);
  state.working_dir_applied = 0;
  command_option_parse_arguments(4, argv.data(), 1, &state, 0, 1);
  zu_small_array_destroy(&state.seen);
  EXPECT_EQ(values(&g_parse_out), (std::vector<std::string>{"first"}));
  EXPECT_EQ(values(&g_parse_dir), (std::vector<std::string>{"d"}));
}

TEST(CommandOptionParse, ValuesOfAnyLength) {
  TestHost host;
  std::string huge(1 << 20, 'v');
  parse_arguments({"--parse-out", huge});
  EXPECT_EQ(values(&g_parse_out)[0], huge);
}

TEST(CommandOptionParseDeathTest, EveryFailureHasItsMessage) {
  TestHost host;
  auto fails = [](std::vector<std::string> args, bool lenient, const std::string& message) {
    EXPECT_EXIT(parse_arguments(args, lenient), testing::ExitedWithCode(255),
                exit_message(message))
        << message;
  };
  fails({"--parse-out", "x", "y"}, true,
        "Multiple arguments given for command '/parse-out', aborted\n");
  fails({"--parse-out"}, true,
        "Command '/parse-out' expected argument(s) but no argument was provided, aborted\n");
  fails({"--parse-out", "--parse-quiet"}, true,
        "Command '/parse-out' expected argument(s) but no argument was provided, aborted\n");
  fails({"-cn"}, true,
        "Command 'n/parse-count' cannot be combined with other commands, aborted\n");
  fails({"-"}, true, "Single '-' is not allowed, aborted\n");
  fails({"plain"}, false, "Command 'plain' doesn't begin with '-', aborted\n");
  fails({"--nothing"}, false, "No command named 'nothing' found, aborted\n");
  fails({"-Z"}, false, "No command named 'Z' found, aborted\n");
  fails({"-qZ"}, false, "No command named 'Z' found, aborted\n");
}

TEST(CommandOptionParseDeathTest, RequiredOptionMissing) {
  TestHost host;
  EXPECT_EXIT(
      {
        CommandOption* required = nullptr;
        command_option_register(&required, 0, "parse-required", 0, 0, "needed", 1, kOptionOne,
                                kOptionString, "runtime.cpp", 1);
        parse_arguments({"--parse-quiet"});
      },
      testing::ExitedWithCode(255),
      exit_message("Required argument for '/parse-required' is missing, aborted\n"));
}

TEST(CommandOptionParseDeathTest, StrictHelpIsPrintedBeforeFailing) {
  TestHost host;
  // Run the failing parse in a child and keep what it printed.
  TempDir dir;
  std::string out = dir / "stdout.txt";
  EXPECT_EXIT(
      {
        freopen(out.c_str(), "w", stdout);
        parse_arguments({"--nothing"}, false);
      },
      testing::ExitedWithCode(255), "No command named 'nothing'");
  std::string printed = read_file(out);
  EXPECT_EQ(printed.rfind("Available options:\n", 0), 0u);
  EXPECT_NE(printed.find("--parse-count"), std::string::npos);
}
