// SPDX-License-Identifier: Zlib
// Trees as artists name them: capitals, dashes, blanks, files to leave out,
// options mistyped.
#include <gtest/gtest.h>

#include "e2e_tree.h"

// Capitals, dashes, blanks, endings no module knows and files to leave out,
// packed into a folder of the project's own.
TEST(E2eRealTrees, ATreeAsArtistsNameItPacks) {
  E2eTree tree;
  const char* sources[] = {"Maps/Map-Easy/Bumper.BIN",
                           "Hero Idle.bin",
                           "Map-Easy/level.sol",
                           "music.ogg.gz",
                           "Price $5.bin",
                           "notes.lvl",
                           "Materials/Turf-Green"};
  for (const char* source : sources) tree.write(std::string("assets/") + source, source);
  tree.write("assets/Maps/notes.swp", "editor swap");
  tree.write("assets/shot-hard/Thumbs.db", "thumbnails");
  tree.write("endings.txt",
             "# ending rule type [output ending]\n"
             ".sol copy 20   # levels\n"
             "\t.lvl\tcopy 21 .text\r\n"
             "\n"
             "* copy 22\n");
  ASSERT_EQ(tree.build("e2e_real.tov", {"--tov-dir", "assets/", "--tov-normalize-names",
                                        "--tov-endings", "endings.txt", "--tov-ignore", "*.swp",
                                        "Thumbs.db", "--tov-out-dir", "out/pack"})
                .status,
            0);
  OpenedArchive archive(tree.path("out/pack/e2e_real.tov"));
  EXPECT_EQ(archive.names(),
            (std::vector<std::string>{"all.fileinfo", "hero_idle.bin", "map_easy/level.sol",
                                      "maps/map_easy/bumper.bin", "materials/turf_green",
                                      "music.ogg.gz", "notes.text", "price__5.bin"}));
  // A game finds each file by the name its artist wrote.
  for (const char* source :
       {sources[0], sources[1], sources[2], sources[3], sources[4], sources[6]}) {
    char name[256];
    tov_archive_normalize_name(source, name, sizeof(name));
    EXPECT_EQ(archive.bytes(name), source);
  }
  EXPECT_EQ(archive.file("map_easy/level.sol").type, 20);
  EXPECT_EQ(archive.file("notes.text").type, 21);
  EXPECT_EQ(archive.file("music.ogg.gz").type, 22);
  EXPECT_EQ(archive.file("materials/turf_green").type, 22);  // no ending: '*' takes it too
  EXPECT_EQ(filesystem_get_attr(E2eTree::archive_path("e2e_real.tov").c_str()), 0u);
}

TEST(E2eRealTrees, MistakesAreSaid) {
  E2eTree tree;
  tree.write("assets/A.bin", "upper");
  tree.write("assets/a.bin", "lower");
  tree.write("other/b.bin", "b");
  tree.write("cooked/rock.png", "png");
  tree.write("cooked/rock.jpg", "jpg");
  tree.write("cooked/sky.png", "png");
  tree.write("cooked/sky.tga", "tga");
  auto absolute = [&](const char* option, const std::string& path) {
    return "ERROR: " + std::string(option) + " '" + path +
           "' is an absolute path: give it relative to the working dir '" + tree.root() +
           "' (../ reaches outside it), aborting...\n";
  };
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
      {{"--tov-dir", "cooked/", "--tov-rule-file", "rules/image.ninja"},
       255,
       "ERROR: 'cooked/rock.jpg' and 'cooked/rock.png' both become 'rock.ktx2' in the archive\n"
       "ERROR: 'cooked/sky.png' and 'cooked/sky.tga' both become 'sky.ktx2' in the archive, "
       "aborting...\n",
       ""},
      {{"--tov-dri", "other/"},
       255,
       "ERROR: Unknown option '--tov-dri' (did you mean '--tov-dir'?), aborting...\n",
       ""},
      {{"--tov-dir=other/"},
       255,
       "ERROR: Unknown option '--tov-dir=other/' (give the value after a blank: '--tov-dir "
       "other/'), aborting...\n",
       ""},
      {{"--tov-dir", "nothere/"},
       255,
       "ERROR: Nothing to pack: none of the folders and files given exists, aborting...\n",
       "WARNING: --tov-dir folder 'nothere/' does not exist\n"},
      {{"--tov-dir", tree.path("other/")}, 255, absolute("--tov-dir", tree.path("other/")), ""},
      {{"--tov-file", tree.path("other/b.bin") + "|b.bin"},
       255,
       absolute("--tov-file", tree.path("other/b.bin")),
       ""},
      {{"--tov-dir", "nothere/", "other/", "--tov-file", "gone.bin"},
       0,
       "",
       "WARNING: --tov-file 'gone.bin' does not exist\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0] + (c.options.size() > 1 ? " " + c.options[1] : ""));
    ProcessResult result = tree.generate("e2e_mistakes.tov", c.options);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.err, c.err);
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
  }
  // Each bad line of an endings file is named by file and line.
  struct Line {
    const char* text;
    const char* message;
  } lines[] = {
      {".sol copy\n", "1: expected 'ENDING RULE TYPE [OUTPUT_ENDING]', found '.sol'"},
      {"\nsol copy 20\n", "2: an ending starts with '.' (or is '*'), not 'sol'"},
      {".sol kopy 20\n", "1: no command or rule file rule is named 'kopy'"},
      {"* copy 2 .bin\n", "1: the '*' line keeps each file's name; no output ending '.bin'"},
      {".bin copy 2\n",
       "1: a rule (of a module or an earlier line) already builds the ending '.bin'"},
  };
  for (const Line& line : lines) {
    tree.write("endings.txt", line.text);
    EXPECT_EQ(
        tree.generate("e2e_mistakes.tov", {"--tov-dir", "other/", "--tov-endings", "endings.txt"})
            .err,
        std::string("ERROR: endings.txt:") + line.message + ", aborting...\n");
  }
  // An archive name with a blank goes through Ninja to the pack.
  tree.build("my game.tov", {"--tov-dir", "other/", "--tov-out-dir", "out/pack"});
  EXPECT_EQ(OpenedArchive(tree.path("out/pack/my game.tov")).names(),
            (std::vector<std::string>{"all.fileinfo", "b.bin"}));
}

// Adding, deleting and renaming assets takes only `ninja`.
TEST(E2eRealTrees, TheBuildFollowsTheTree) {
  E2eTree tree;
  tree.write("assets/One.bin", "1");
  tree.write("assets/Sub Folder/two.bin", "2");
  ASSERT_EQ(tree.build("e2e_follow.tov", {"--tov-dir", "assets/", "--tov-normalize-names",
                                          "--tov-regenerate", "--tov-out-dir", "out/pack"})
                .status,
            0);
  struct Step {
    const char* change;
    std::vector<std::string> names;
  } steps[] = {
      {"echo 3 > 'assets/Sub Folder/Three.bin'",
       {"one.bin", "sub_folder/three.bin", "sub_folder/two.bin"}},
      {"rm assets/One.bin", {"sub_folder/three.bin", "sub_folder/two.bin"}},
      {"mkdir assets/new && echo 4 > assets/new/four.bin",
       {"new/four.bin", "sub_folder/three.bin", "sub_folder/two.bin"}},
      {"mv 'assets/Sub Folder/two.bin' 'assets/Sub Folder/deux.bin'",
       {"new/four.bin", "sub_folder/deux.bin", "sub_folder/three.bin"}},
      {"rm -r assets/new", {"sub_folder/deux.bin", "sub_folder/three.bin"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.change);
    ASSERT_EQ(run_shell(step.change, tree.root()).status, 0);
    ProcessResult built = tree.ninja();
    ASSERT_EQ(built.status, 0) << built.out;
    EXPECT_NE(built.out.find("REGENERATE build.ninja"), std::string::npos) << built.out;
    OpenedArchive archive(tree.path("out/pack/e2e_follow.tov"));
    std::vector<std::string> names = step.names;
    names.insert(names.begin(), "all.fileinfo");
    EXPECT_EQ(archive.names(), names);
  }
  EXPECT_NE(tree.ninja().out.find("ninja: no work to do."), std::string::npos);
}

// Argument files are read to their end whatever they are, once for all the
// parses of a process: a pipe gave every module after the first nothing.
TEST(E2eRealTrees, ArgumentFilesOfEveryKind) {
  E2eTree tree;
  tree.write("assets/a.bin", "a");
  std::string settings = "--tov-working-dir\n" + tree.root() + "\n--tov-sdk-dir\n" + source_dir() +
                         "sdk\n--tov-intermediate-dir\nout/i\n--tov-out\nargs.tov\n--tov-out-dir\n"
                         "out/pack\n--tov-rule-file\nrules/tov.ninja\n--tov-dir\nassets/\n";
  tree.write("line.args", settings);
  std::string spaced = "--tov-working-dir \"" + tree.root() + "\" --tov-sdk-dir \"" + source_dir() +
                       "sdk\"\n--tov-intermediate-dir out/i --tov-out args.tov --tov-out-dir "
                       "out/pack --tov-rule-file rules/tov.ninja\n--tov-dir assets/\n";
  tree.write("space.args", spaced);
  std::string host = shell_quote(host_path());
  const std::string runs[] = {
      "cat line.args | " + host + " --arg-file /dev/stdin",
      host + " --arg-file-space space.args",  // its last line ends in a line break
  };
  for (const std::string& run : runs) {
    SCOPED_TRACE(run);
    run_shell("rm -rf out", tree.root());
    ProcessResult generated = run_shell(run, tree.root());
    ASSERT_EQ(generated.status, 0) << generated.err;
    ASSERT_EQ(tree.ninja().status, 0);
    OpenedArchive archive(tree.path("out/pack/args.tov"));
    EXPECT_EQ(archive.names(), (std::vector<std::string>{"a.bin", "all.fileinfo"}));
  }
  // A device that never ends stops at a limit, with a message.
  ProcessResult endless = run_shell(host + " --arg-file /dev/zero", tree.root());
  EXPECT_EQ(endless.status, 255);
  EXPECT_EQ(endless.err, "Argument file '/dev/zero' is larger than 256 MiB, aborted\n");
}
