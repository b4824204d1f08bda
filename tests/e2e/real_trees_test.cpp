// Trees as artists name them: capitals, dashes, blanks, files to leave out,
// options mistyped.
#include <gtest/gtest.h>

#include "e2e_tree.h"

TEST(E2eRealTrees, NormalizedNamesIgnoredFilesAndAnOutputFolder) {
  E2eTree tree;
  const char* sources[] = {"Maps/Map-Easy/Bumper.BIN", "Hero Idle.bin", "shot-hard/pipe.bin"};
  for (const char* source : sources) tree.write(std::string("assets/") + source, source);
  tree.write("assets/Maps/notes.swp", "editor swap");
  tree.write("assets/shot-hard/Thumbs.db", "thumbnails");
  ProcessResult generated =
      tree.generate("e2e_real.tov", {"--tov-dir", "assets/", "--tov-normalize-names", "--tov-ignore",
                                     "*.swp", "Thumbs.db", "--tov-out-dir", "out/pack"});
  ASSERT_EQ(generated.status, 0) << generated.err;
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out;
  OpenedArchive archive(tree.path("out/pack/e2e_real.tov"));
  ASSERT_NE(archive.set, nullptr);
  EXPECT_EQ(archive.names(), (std::vector<std::string>{"all.fileinfo", "hero_idle.bin",
                                                       "maps/map_easy/bumper.bin",
                                                       "shot_hard/pipe.bin"}));
  // A game finds each file by the name its artist wrote.
  for (const char* source : sources) {
    char name[256];
    ASSERT_LT(tov_archive_normalize_name(source, name, sizeof(name)), sizeof(name));
    TovFileInfo info = archive.file(name);
    EXPECT_EQ(std::string((const char*)info.data, info.size), source);
  }
  EXPECT_EQ(filesystem_get_attr(E2eTree::archive_path("e2e_real.tov").c_str()), 0u);
}

TEST(E2eRealTrees, MistakesAreSaid) {
  E2eTree tree;
  tree.write("assets/A.bin", "upper");
  tree.write("assets/a.bin", "lower");
  tree.write("other/b.bin", "b");
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string err;  // exact, or empty to check only the output
    std::string out;  // a line the output must hold
  } cases[] = {
      {{"--tov-dir", "assets/", "--tov-normalize-names"},
       255,
       "ERROR: 'assets/A.bin' and 'assets/a.bin' both become 'a.bin' in the archive, "
       "aborting...\n",
       ""},
      {{"--tov-dri", "other/"}, 255,
       "ERROR: Unknown option '--tov-dri' (did you mean '--tov-dir'?), aborting...\n", ""},
      {{"--tov-dir=other/"}, 255,
       "ERROR: Unknown option '--tov-dir=other/' (give the value after a blank: '--tov-dir "
       "other/'), aborting...\n",
       ""},
      {{"--tov-dir", "nothere/"}, 255,
       "ERROR: Nothing to pack: none of the folders and files given exists, aborting...\n",
       "WARNING: --tov-dir folder 'nothere/' does not exist\n"},
      {{"--tov-dir", "nothere/", "other/", "--tov-file", "gone.bin"}, 0, "",
       "WARNING: --tov-file 'gone.bin' does not exist\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0] + (c.options.size() > 1 ? " " + c.options[1] : ""));
    ProcessResult result = tree.generate("e2e_mistakes.tov", c.options);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
  }
}
