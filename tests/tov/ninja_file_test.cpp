// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "ninja/build_rule_table.h"
#include "ninja/ninja_file.h"
#include "test_support.h"
#include "tov_entry.h"

namespace {

// build.ninja with the machine's folders replaced by placeholders.
std::string normalised(const std::string& text, const std::string& working_dir) {
  std::string result = text;
  auto replace_all = [&](const std::string& from, const std::string& to) {
    for (size_t at = result.find(from); at != std::string::npos;
         at = result.find(from, at + to.size()))
      result.replace(at, from.size(), to);
  };
  replace_all(working_dir, "<WORKING_DIR>/");
  replace_all(bin_dir(), "<BIN_DIR>/");
  replace_all(source_dir(), "<SOURCE_DIR>/");
  return result;
}

void expect_golden(const std::string& actual, const std::string& name) {
  std::string path = source_dir() + "tests/tov/golden/" + name;
  std::string expected = read_file(path);
  if (getenv("TOV_WRITE_GOLDEN")) write_file(path, actual);  // to renew after a reviewed change
  EXPECT_EQ(actual, expected) << "compare with " << path;
}

void add_rule(const char* ending, const char* command, const char* output, u16 type, u8 chain,
              u8 pack, u8 aggregate) {
  BuildRule rule;
  build_rule_make(&rule, ending, command, output, type);
  rule.outputs.data[0].chain = chain;
  rule.outputs.data[0].pack = pack;
  rule.aggregate = aggregate;
  tov_register_build_rule(&rule, 1);
  zu_destroy(&rule);
}

}  // namespace

TEST(NinjaFile, OneDataSourceEndsWithTheDocumentedStatements) {
  TestHost host;
  TempDir dir;
  write_file(dir / "a.data.cpp", "int x;");
  parse_arguments({});
  const char* sources[] = {"a.data.cpp"};
  std::string working_dir = dir.path() + "/";
  write_ninja_file(sources, sources, 1, "x.tov", "i/", working_dir.c_str(), "/sdk/", nullptr, 0);
  std::string text = read_file(dir / "build.ninja");
  expect_golden(normalised(text, working_dir), "single.ninja");
}

TEST(NinjaFile, EmptyBuildStillPacksTheCatalogue) {
  TestHost host;
  TempDir dir;
  parse_arguments({});
  std::string working_dir = dir.path() + "/";
  write_ninja_file(nullptr, nullptr, 0, "x.tov", "i/", working_dir.c_str(), "/sdk/", nullptr, 0);
  expect_golden(normalised(read_file(dir / "build.ninja"), working_dir), "empty.ninja");
}

TEST(NinjaFileDeathTest, RenamesGroupsDepfilesRuleFilesFiltersExtraInputsAndAggregates) {
  TestHost host;
  TempDir dir("tov golden x");
  std::string working_dir = dir.path() + "/";
  for (const char* file : {"assets/a.h", "assets/sub/b.bin", "more/c.strtbl", "x/m.model",
                           "x/m.meta", "gen/p.src", "gen/r.src"})
    write_file(dir / file, file);
  auto generate = [&] {
    add_rule(".model", "copy", ".model", 7, 0, 1, 0);
    add_rule(".mesh", "copy", ".mesh", 7, 0, 1, 0);
    // .model files take their .meta as an extra input.
    const ZuArray<BuildRule>* table = build_rule_table();
    for (u32 i = 0; i < table->count; ++i) {
      BuildRule* rule = table->data + i;
      if (!zu_string_equal_text(&rule->ending, ".model")) continue;
      BuildRuleExtraInput* input = zu_array_push_zeroed(&rule->extra_inputs);
      zu_string_init(&input->suffix, ".meta");
      input->suffix_hash = zu_hash(".meta", 5);
      BuildRuleExtraInput* always = zu_array_push_zeroed(&rule->extra_inputs);
      zu_string_init(&always->suffix, ".lod");
      always->suffix_hash = zu_hash(".lod", 4);
      always->always = 1;
      always->then_intermediate = 1;
    }
    add_rule(".src", "copy", ".foo", 2, 1, 0, 0);    // chains, not packed
    add_rule(".foo", "copy", ".bar", 9, 0, 1, 1);    // combines every .foo
    add_rule(".bar", "copy", ".baked", 9, 0, 1, 0);  // what the combined output becomes
    // clang-format off
    parse_arguments({"--tov-working-dir", working_dir, "--tov-sdk-dir", source_dir() + "sdk",
                     "--tov-intermediate-dir", "out\\inter", "--tov-out", "game.tov",
                     "--tov-dir", "assets|renamed", "more",
                     "--tov-file", "x/m.model", "gen/p.src|gen/q.src", "gen/r.src",
                     "--tov-depfile", "dep dir:1/base.tov", "deps/h.h",
                     "--tov-rule-file", "rules/tov.ninja",
                     "--tov-ignore-files-in-archives", "a.tov", "b.tov",
                     "--tov-only-include-files-with-ending", ".bin", ".strtbl"});
    // clang-format on
    if (tov_begin() != 0) abort();
    std::string first = read_file(dir / "out/build.ninja");
    if (tov_begin() != 0) abort();
    if (read_file(dir / "out/build.ninja") != first) _exit(3);  // the same bytes again
    _exit(0);
  };
  EXPECT_EXIT(generate(), testing::ExitedWithCode(0), "");
  std::string text = read_file(dir / "out/build.ninja");
  expect_golden(normalised(text, working_dir), "many.ninja");
  EXPECT_EQ(read_file(dir / "out/tov.ninja"), read_file(source_dir() + "sdk/rules/tov.ninja"));
}

// A development build: the pack's rule copy takes --tov-overlay and restat,
// and build.ninja a fold target; nothing else changes.
TEST(NinjaFile, DevelopmentBuildAddsTheOverlayToThePackOnly) {
  TestHost host;
  TempDir dir, sdk;
  std::string rules = read_file(source_dir() + "sdk/rules/tov.ninja");
  write_file(sdk / "rules/tov.ninja", rules);
  const char* sources[] = {"a.bin"};
  std::string working_dir = dir.path() + "/";
  std::string sdk_dir = sdk.path() + "/";
  std::string texts[2], copies[2];
  for (int overlay = 0; overlay < 2; ++overlay) {
    std::vector<std::string> args = {"--tov-rule-file", "rules/tov.ninja"};
    if (overlay) args.push_back("--tov-overlay");
    parse_arguments(args);
    write_ninja_file(sources, sources, 1, "x.tov", "i/", working_dir.c_str(), sdk_dir.c_str(),
                     nullptr, 0);
    texts[overlay] = read_file(dir / "build.ninja");
    copies[overlay] = read_file(dir / "tov.ninja");
  }
  EXPECT_EQ(copies[0], rules);
  std::string pack = "--arg-file-shell \"$out_rspfile\"";
  std::string expected = rules;
  expected.replace(expected.rfind(pack), pack.size(), pack + " --tov-overlay\n  restat = 1");
  EXPECT_EQ(copies[1], expected);
  std::string fold =
      "\n\nrule tov_fold\n  command = \"$boot\" $tov_args --tov-command fold "
      "--tov-command-out-file $in\n  description = FOLD $in\n\nbuild fold : tov_fold ${fd}x.tov";
  ASSERT_NE(texts[1].find(fold), std::string::npos) << texts[1];
  EXPECT_EQ(texts[1].replace(texts[1].find(fold), fold.size(), ""), texts[0]);
}
