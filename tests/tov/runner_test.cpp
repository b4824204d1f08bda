// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <filesystem>

#include "build_rules/invocations.h"
#include "test_support.h"
#include "tov_entry.h"

namespace {

struct Seen {
  u64 inputs = 0, outputs = 0;
  std::vector<u64> sizes;
  std::string working_dir, sdk_dir, intermediate_dir;
  bool outputs_open = false;
} g_seen;

u32 record(CommandContext* context) {
  g_seen = Seen();
  g_seen.inputs = context->input_count;
  g_seen.outputs = context->output_count;
  for (u64 i = 0; i < context->input_count; ++i)
    g_seen.sizes.push_back(context->inputs[i].data.count);
  g_seen.working_dir = context->working_dir;
  g_seen.sdk_dir = context->sdk_dir;
  g_seen.intermediate_dir = context->intermediate_dir;
  g_seen.outputs_open = context->output_count > 0 && context->outputs[0].file != nullptr;
  return 7;
}

u32 other(CommandContext*) { return 99; }

const int g_registered = [] {
  tov_register_rule_invocation("test_record", record, 0, 0, 0, nullptr, 0);
  tov_register_rule_invocation("test_open", record, 1, 0, 0, nullptr, 0);
  tov_register_rule_invocation("test_record", other, 1, 1, 1, nullptr, 0);  // dropped
  return 0;
}();

}  // namespace

TEST(Runner, HandlerGetsInputsAndOutputsAndItsResultIsReturned) {
  TestHost host;
  TempDir dir;
  write_file(dir / "empty.txt", "");
  write_file(dir / "three.txt", "abc");
  parse_arguments({"--tov-command-in-file", dir / "empty.txt", dir / "three.txt"});
  EXPECT_EQ(run_command("test_record", "/w/", "/s/", "i/"), 7u);
  EXPECT_EQ(g_seen.inputs, 2u);
  EXPECT_EQ(g_seen.sizes, (std::vector<u64>{0, 0}));  // not loaded without opens_files
  EXPECT_EQ(g_seen.working_dir, "/w/");
  parse_arguments({"--tov-command-in-file", dir / "empty.txt", dir / "three.txt",
                   "--tov-command-out-file", dir / "sub/out.bin"});
  EXPECT_EQ(run_command("test_open", "/w/", "/s/", "i/"), 7u);
  EXPECT_EQ(g_seen.sizes, (std::vector<u64>{0, 3}));
  EXPECT_TRUE(g_seen.outputs_open);
  // The command failed (7): its output is not put in place.
  EXPECT_EQ(filesystem_get_attr((dir / "sub/out.bin").c_str()), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir / "sub") && !std::filesystem::is_empty(dir / "sub"));
  parse_arguments({});
  EXPECT_EQ(run_command("test_record", "/w/", "/s/", "i/"), 7u);
  EXPECT_EQ(g_seen.inputs + g_seen.outputs, 0u);
  // From the command line: folders keep their dot-dots, take '/' for '\'
  // and end in '/'; SDK folders are joined.
  parse_arguments({"--tov-working-dir", "C:\\data\\..\\assets", "--tov-sdk-dir", "a", "b\\c",
                   "--tov-intermediate-dir", "i", "--tov-command", "test_record"});
  EXPECT_EQ(tov_begin(), 7u);
  EXPECT_EQ(g_seen.working_dir, "C:/data/../assets/");
  EXPECT_EQ(g_seen.sdk_dir, "a b/c/");
  EXPECT_EQ(g_seen.intermediate_dir, "i/");
}

// A folder passes the check for missing inputs but cannot be read whole.
TEST(RunnerDeathTest, AFolderAsInput) {
  TestHost host;
  TempDir dir;
  parse_arguments({"--tov-command-in-file", dir.path()});
  EXPECT_EXIT(run_command("nullterminate", "/", "/", "i/"), testing::ExitedWithCode(255),
              exit_message("Couldn't open '" + dir.path() + "' for reading, exiting..."));
}
