// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "e2e_tree.h"
#include "tov/tov_archive.h"
#include "tov/tov_build.h"

TEST(E2eModules, EveryModuleFilePacksWithItsModulesType) {
  E2eTree tree;
  struct File {
    const char* name;
    u16 type;
  } files[] = {{"t/a.png", TOV_TYPE_IMAGE},  {"t/b.dds", TOV_TYPE_IMAGE},
               {"s/c.wav", TOV_TYPE_AUDIO},  {"s/d.ogg", TOV_TYPE_AUDIO},
               {"m/e.obj", TOV_TYPE_MODEL},  {"f/f.ttf", TOV_TYPE_FONT},
               {"r/g.frag", TOV_TYPE_RENDER}, {"r/h.hlsl", TOV_TYPE_RENDER},
               {"e/i.toml", TOV_TYPE_ENTITY}, {"e/j.json", TOV_TYPE_ENTITY},
               {"g/k.csv", TOV_TYPE_GAME},   {"g/l.txt", TOV_TYPE_GAME}};
  for (const File& file : files) tree.write(std::string("assets/") + file.name, "{ \"x\" : 1 }");
  ProcessResult generated = tree.generate(
      "e2e_modules.tov", {"--tov-dir", "assets/", "--tov-rule-file", "rules/entity.ninja"});
  ASSERT_EQ(generated.status, 0) << generated.out << generated.err;
  EXPECT_EQ(generated.out.find("FAILED"), std::string::npos) << generated.out;
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  EXPECT_EQ(read_file(tree.path("out/i/e/j.json")), "{\"x\":1}");  // minified
  std::string path = E2eTree::archive_path("e2e_modules.tov");
  {
    OpenedArchive archive(path);
    for (const File& file : files) EXPECT_EQ(archive.file(file.name).type, file.type) << file.name;
    for (u16 type = TOV_TYPE_RENDER; type <= TOV_TYPE_GAME; ++type) {
      std::vector<TovFileInfo> listed = archive.files(type);
      u64 expected = 0;
      for (const File& file : files) expected += file.type == type;
      EXPECT_EQ(listed.size(), expected) << type;
      for (const TovFileInfo& info : listed) EXPECT_EQ(info.type, type);
    }
  }
  remove(path.c_str());
}

TEST(E2eModules, BadJsonFailsWithItsPositionAndWritesNothing) {
  E2eTree tree;
  tree.write("assets/bad.json", "{\n  \"hp\": 10,,\n}");
  ASSERT_EQ(tree.generate("e2e_json.tov", {"--tov-dir", "assets/", "--tov-rule-file",
                                           "rules/entity.ninja"})
                .status,
            0);
  ProcessResult built = tree.ninja();
  EXPECT_NE(built.status, 0);
  EXPECT_NE(built.out.find("ERROR: " + tree.path("assets/bad.json") +
                           ":2:12: expected a member name\n"),
            std::string::npos)
      << built.out;
  EXPECT_EQ(filesystem_get_attr(tree.path("out/i/bad.json").c_str()), 0u);
  ProcessResult direct = run_shell(shell_quote(host_path()) +
                                   " --tov-working-dir / --tov-sdk-dir / --tov-intermediate-dir i "
                                   "--tov-command minify_json --tov-command-in-file bad.json "
                                   "--tov-command-out-file out.json",
                                   tree.path("assets"));
  EXPECT_EQ(direct.status, 255);
  EXPECT_EQ(direct.err, "ERROR: bad.json:2:12: expected a member name\n");
  EXPECT_EQ(filesystem_get_attr(tree.path("assets/out.json").c_str()), 0u);
}

TEST(E2eModules, UnknownEndingStillFails) {
  E2eTree tree;
  tree.write("assets/x.psd", "layers");
  ProcessResult result = tree.generate("e2e_unknown.tov", {"--tov-dir", "assets/"});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err, "ERROR: No rules found that matches filename 'assets/x.psd', aborting...\n");
}
