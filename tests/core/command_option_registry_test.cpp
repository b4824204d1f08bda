// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "command_option.h"
#include "test_support.h"

ZU_COMMAND_OPTION(g_registry_out, 0, "registry-out", "Filename of output file to write", kOptionOne,
                  kOptionString);
constexpr u32 kLevelLine = __LINE__ + 1;
ZU_COMMAND_OPTION(g_registry_level, 'l', "registry-level", "A number", kOptionOne, kOptionUint);
ZU_COMMAND_OPTION(g_registry_flag, 0, "registry-flag", "A flag", kOptionFlag, kOptionNone);

namespace {

u32 count_records(const char* long_name) {
  u32 count = 0;
  for (CommandOption* option = command_option_head(); option; option = option->next)
    if (strcmp(option->long_name, long_name) == 0) ++count;
  return count;
}

std::string pad(const std::string& text, size_t width) {
  return text + std::string(text.size() < width ? width - text.size() : 0, ' ');
}

}  // namespace

TEST(CommandOptionRegistry, RecordsHoldTheirRegistration) {
  CommandOption* option = command_option_find("registry-level");
  ASSERT_EQ(option, g_registry_level);
  EXPECT_EQ(option->short_name, 'l');
  EXPECT_EQ(option->arity, kOptionOne);
  EXPECT_EQ(option->value_type, kOptionUint);
  EXPECT_STREQ(option->source_file, "tests/core/command_option_registry_test.cpp");
  EXPECT_EQ(option->source_line, kLevelLine);
  EXPECT_EQ(option->handle, &g_registry_level);
  EXPECT_EQ(command_option_find("registry"), nullptr);  // exact names only
  // The launcher's arguments are prefix options with their value attached.
  CommandOption* launcher = command_option_find("-epicapp=");
  ASSERT_NE(launcher, nullptr);
  EXPECT_TRUE(launcher->match_prefix && launcher->value_in_argument);
  EXPECT_STREQ(launcher->description, "EOS");
}

TEST(CommandOptionRegistry, SameRegistrationTwiceIsOneRecord) {
  CommandOption* handle = nullptr;
  CommandOption** result = command_option_register(
      &handle, 0, "registry-out", 0, 0, "Filename of output file to write", 0, kOptionOne,
      kOptionString, "tests/core/command_option_registry_test.cpp", g_registry_out->source_line);
  EXPECT_EQ(result, &handle);
  EXPECT_EQ(handle, g_registry_out);
  EXPECT_EQ(count_records("registry-out"), 1u);
}

TEST(CommandOptionRegistryDeathTest, CollisionsAndIllegalRegistrationsEndTheProcess) {
  CommandOption* handle = nullptr;
  EXPECT_EXIT(command_option_register(&handle, 0, "registry-out", 0, 0, "again", 0, kOptionOne,
                                      kOptionString, "other.cpp", 3),
              testing::ExitedWithCode(255),
              exit_message("Command collision between '/registry-out' and '/registry-out' "
                           "found, aborted\n"));
  EXPECT_EXIT(command_option_register(&handle, 'l', "registry-other", 0, 0, "again", 0,
                                      kOptionFlag, kOptionNone, "other.cpp", 3),
              testing::ExitedWithCode(255),
              exit_message("Command collision between 'l/registry-other' and "
                           "'l/registry-level' found, aborted\n"));
  EXPECT_EXIT(command_option_register(&handle, 0, "registry-bad", 0, 0, "bad", 0, kOptionOne,
                                      kOptionNone, "bad.cpp", 12),
              testing::ExitedWithCode(255),
              exit_message("ERROR: Illegal command 'registry-bad' registered (file: 'bad.cpp', "
                           "line: 12)"));
  EXPECT_EXIT(command_option_register(&handle, 0, "registry-bad", 0, 0, "bad", 0, kOptionFlag,
                                      kOptionString, "bad.cpp", 13),
              testing::ExitedWithCode(255), "Illegal command 'registry-bad'");
}

TEST(CommandOptionRegistry, OptionsWithoutShortNameNeverCollideOnIt) {
  CommandOption* first = nullptr;
  CommandOption* second = nullptr;
  command_option_register(&first, 0, "registry-x", 0, 0, "x", 0, kOptionFlag, kOptionNone,
                          "runtime.cpp", 1);
  command_option_register(&second, 0, "registry-y", 0, 0, "y", 0, kOptionFlag, kOptionNone,
                          "runtime.cpp", 2);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(command_option_head(), second);  // newest first
}

TEST(CommandOptionRegistry, TypedGettersReadTheText) {
  TestHost host;
  parse_arguments({"--registry-level", "12abc", "--registry-flag"});
  EXPECT_TRUE(command_option_is_set(&g_registry_flag));
  EXPECT_FALSE(command_option_is_set(&g_registry_out));
  EXPECT_EQ(command_option_value_uint(&g_registry_level, 0), 12u);
  u64 level = 0;
  EXPECT_TRUE(command_option_get_uint(&g_registry_level, &level));
  EXPECT_EQ(level, 12u);
  const char* text = nullptr;
  EXPECT_FALSE(command_option_get_text(&g_registry_out, &text));

  for (const char* value : {"True", "1", "TRUE", "true "}) {
    parse_arguments({"--registry-out", value});
    EXPECT_FALSE(command_option_value_bool(&g_registry_out, 0)) << value;
  }
  parse_arguments({"--registry-out", "true"});
  u8 flag = 0;
  EXPECT_TRUE(command_option_get_bool(&g_registry_out, &flag));
  EXPECT_EQ(flag, 1);
  parse_arguments({"--registry-out", "\\-17"});
  EXPECT_EQ(command_option_value_int(&g_registry_out, 0), -17);
  ZuString out;
  zu_string_zero(&out);
  EXPECT_TRUE(command_option_get_string(&g_registry_out, &out));
  EXPECT_STREQ(zu_string_text(&out), "-17");
  zu_string_destroy(&out);
}

TEST(CommandOptionRegistry, OverridesHandBackWhatWasThere) {
  TestHost host;
  parse_arguments({"--registry-out", "from the command line"});
  u64 numbers[] = {0, 18446744073709551615ull};
  CommandOptionValues previous = command_option_set_uints(&g_registry_out, numbers, 2);
  EXPECT_EQ(g_registry_out->value_type, kOptionUint);
  ASSERT_EQ(command_option_count(&g_registry_out), 2u);
  EXPECT_EQ(command_option_value_uint(&g_registry_out, 1), UINT64_MAX);
  command_option_restore_values(&g_registry_out, previous);
  EXPECT_STREQ(zu_string_text(command_option_value(&g_registry_out, 0)), "from the command line");

  i64 signed_values[] = {-5};
  previous = command_option_set_ints(&g_registry_out, signed_values, 1);
  EXPECT_STREQ(zu_string_text(command_option_value(&g_registry_out, 0)), "-5");
  command_option_restore_values(&g_registry_out, previous);

  u8 bools[] = {1, 0};
  previous = command_option_set_bools(&g_registry_out, bools, 2);
  EXPECT_TRUE(command_option_value_bool(&g_registry_out, 0));
  EXPECT_FALSE(command_option_value_bool(&g_registry_out, 1));
  command_option_restore_values(&g_registry_out, previous);

  char texts[3][8] = {"a", "bb", "ccc"};
  previous = command_option_set_texts_strided(&g_registry_out, texts[0], 3, 8);
  EXPECT_STREQ(zu_string_text(command_option_value(&g_registry_out, 2)), "ccc");
  command_option_restore_values(&g_registry_out, previous);

  previous = command_option_take_values(&g_registry_out);
  EXPECT_FALSE(command_option_is_set(&g_registry_out));
  command_option_restore_values(&g_registry_out, previous);
  EXPECT_TRUE(command_option_is_set(&g_registry_out));

  previous = command_option_set_flag(&g_registry_flag, 1);
  EXPECT_TRUE(command_option_is_set(&g_registry_flag));
  command_option_restore_values(&g_registry_flag, previous);
  EXPECT_FALSE(command_option_is_set(&g_registry_flag));
}

TEST(CommandOptionRegistry, HelpAndSetListings) {
  TestHost host;
  parse_arguments({"--registry-flag", "-l", "3"});
  testing::internal::CaptureStdout();
  command_option_print_help();
  command_option_print_set();
  fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("Available options:\n", 0), 0u);
  EXPECT_NE(out.find("\n     --" + pad("registry-flag", 30) + "A flag\n"), std::string::npos);
  EXPECT_NE(out.find("\n  -l/--" + pad("registry-level", 30) + "A number\n"), std::string::npos);
  EXPECT_NE(out.find("\n  -c/--" + pad("console", 30) + "Omit loading"), std::string::npos);
  EXPECT_NE(out.find("Set options:\n"), std::string::npos);
  std::string set = out.substr(out.find("Set options:\n"));
  EXPECT_NE(set.find("     --" + pad("registry-flag", 20) + "\n"), std::string::npos);
  EXPECT_NE(set.find("  -l/--" + pad("registry-level", 20) + "\n"), std::string::npos);
  EXPECT_EQ(set.find("console"), std::string::npos);
}
