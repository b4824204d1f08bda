// SPDX-License-Identifier: Zlib
// Builds beyond one machine, end to end: a real redis-server and a real
// one-node Slurm cluster, started by the project's scripts for this suite
// and stopped after it; the real host, Ninja and files in temporary folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_tree.h"
#include "test_support.h"

namespace {

std::string g_services;  // the folder of the suite's servers
std::string g_redis;     // redis://127.0.0.1:PORT
std::string g_slurm;     // the cluster's slurm.conf; empty when not root

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

// A small tree with a step of every expensive kind: C++ data with a header,
// a shader with an include, a texture and a sound.
struct Tree : E2eTree {
  Tree() {
    const std::string examples = source_dir() + "examples/assets/";
    EXPECT_EQ(
        run_shell("mkdir -p assets && cp -r " + shell_quote(examples + "data") + " " +
                      shell_quote(examples + "include") + " " + shell_quote(examples + "shaders") +
                      " assets/ && cp " + shell_quote(examples + "textures/ui/gradient.png") + " " +
                      shell_quote(examples + "sounds/beep.wav") + " assets/",
                  root())
            .status,
        0);
    write("assets/shaders/tint.glsl", "const float kTint = 0.5;\n");
    write("assets/shaders/tint.frag",
          "#version 450\n#include \"tint.glsl\"\nlayout(location = 0) out vec4 c;\n"
          "void main() { c = vec4(kTint); }\n");
  }
  // Generates into folder (its own intermediate folder) and builds.
  ProcessResult build_in(const std::string& folder, std::vector<std::string> options) {
    out_folder = folder;
    for (const char* option :
         {"--tov-out-dir", folder.c_str(), "--tov-dir", "assets/", "--tov-rule-file",
          "rules/render.ninja", "rules/image.ninja", "rules/audio.ninja"})
      options.push_back(option);
    return build("game.tov", options);
  }
  std::string archive(const std::string& folder) const { return path(folder + "/game.tov"); }
};

// The steps a build ran without the cache's help, by output.
std::vector<std::string> misses(const std::string& out) {
  std::vector<std::string> names;
  for (size_t at = 0; (at = out.find("tov cache: miss ", at)) != std::string::npos; ++at) {
    size_t begin = at + 16, end = out.find(' ', begin);
    names.push_back(out.substr(begin, end - begin));
  }
  return names;
}

bool same_archives(const std::string& a, const std::string& b) {
  return run_shell(shell_quote(bin_dir() + "tov-archive") + " diff " + shell_quote(a) + " " +
                   shell_quote(b))
             .status == 0;
}

// The catalogue (it records modification times) and the archive (named by
// its folder) of a build.
const std::vector<std::string> kBookkeeping = {"@all.fileinfo", "two/game.tov"};

}  // namespace

class Scale : public testing::Test {
 public:
  static void SetUpTestSuite() {
    // Slurm reads no blank in a path of its configuration.
    char folder[] = "/tmp/tov_services_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    g_services = folder;
    ProcessResult redis = run_shell(service("redis-server", "start", "redis"));
    ASSERT_EQ(redis.status, 0) << redis.out << redis.err;
    g_redis = first_line(redis.out);
    if (geteuid() != 0) return;  // slurmd runs as root only
    ProcessResult slurm = run_shell(service("slurm-cluster", "start", "slurm"));
    ASSERT_EQ(slurm.status, 0) << slurm.out << slurm.err;
    g_slurm = first_line(slurm.out);
  }
  static void TearDownTestSuite() {
    run_shell(service("redis-server", "stop", "redis"));
    run_shell(service("slurm-cluster", "stop", "slurm"));
    run_shell("rm -rf " + shell_quote(g_services));
  }
  // A command of one of the service scripts on a folder of the suite's.
  static std::string service(const char* script, const char* action, const std::string& folder) {
    return shell_quote(source_dir() + "scripts/" + script) + " " + action + " " +
           shell_quote(g_services + "/" + folder);
  }
};

// Two clean builds of one tree into two folders with one cache: the second
// runs only its catalogue and pack, and yields the same files. A changed
// header then re-runs exactly the steps that read it.
TEST_F(Scale, SecondBuildComesFromTheCache) {
  for (std::string url : {std::string("file://") + g_services + "/folder_cache", g_redis}) {
    SCOPED_TRACE(url);
    Tree tree;
    std::vector<std::string> options = {"--tov-cache", url, "--tov-verbose"};
    ProcessResult first = tree.build_in("one", options);
    ASSERT_EQ(first.status, 0) << first.out;
    ProcessResult second = tree.build_in("two", options);
    ASSERT_EQ(second.status, 0) << second.out;
    EXPECT_EQ(misses(second.out), kBookkeeping) << second.out;
    EXPECT_NE(second.out.find("tov cache: 14 hits, 2 misses, 0 steps without the cache"),
              std::string::npos)
        << second.out;
    EXPECT_TRUE(same_archives(tree.archive("one"), tree.archive("two")));

    tree.write("assets/include/game_types.h",
               read_file(tree.path("assets/include/game_types.h")) + "// changed\n");
    ProcessResult changed = tree.ninja();
    ASSERT_EQ(changed.status, 0) << changed.out;
    std::vector<std::string> expected = {"@include/game_types.h", "@data/spawns.bin"};
    for (const std::string& step : kBookkeeping) expected.push_back(step);
    std::vector<std::string> ran = misses(changed.out);
    std::sort(ran.begin(), ran.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ran, expected) << changed.out;
  }
}

// A development archive with a cache: the pack writes an overlay beside
// its output, or nothing, so its output is no result to keep. A change
// made and taken back gives the tree's files, not a kept archive's.
TEST_F(Scale, DevelopmentPacksPassTheCacheBy) {
  E2eTree tree;
  tree.write("assets/a.bin", "one");
  for (int i = 0; i < 8; ++i) tree.write("assets/f" + std::to_string(i) + ".bin", "f");
  std::vector<std::string> options = {
      "--tov-dir",     "assets/",
      "--tov-out-dir", "out",
      "--tov-overlay", "--tov-verbose",
      "--tov-cache",   "file://" + g_services + "/development_cache"};
  ASSERT_EQ(tree.build("dev.tov", options).status, 0);
  for (const char* contents : {"two", "one"}) {
    tree.write("assets/a.bin", contents);
    tree.age("assets/a.bin", 2);
    ProcessResult built = tree.ninja();
    ASSERT_EQ(built.status, 0) << built.out;
    EXPECT_NE(built.out.find("1 steps without the cache"), std::string::npos) << built.out;
    EXPECT_EQ(OpenedArchive(tree.path("out/dev.tov")).bytes("a.bin"), contents);
  }
}

// A damaged entry, a stopped Redis and a full cache folder each end in a
// correct build with a warning.
TEST_F(Scale, ACacheThatFailsIsOnlyAWarning) {
  Tree tree;
  ASSERT_EQ(tree.build_in("plain", {}).status, 0);
  std::string folder = g_services + "/damaged_cache";
  ASSERT_EQ(tree.build_in("warm", {"--tov-cache", "file://" + folder}).status, 0);
  // Every entry cut short.
  ASSERT_EQ(run_shell("for f in */*; do head -c 20 \"$f\" > x && mv x \"$f\"; done", folder).status,
            0);
  ProcessResult other = run_shell(service("redis-server", "start", "stopped_redis"));
  ASSERT_EQ(other.status, 0);
  run_shell(service("redis-server", "stop", "stopped_redis"));
  struct Case {
    std::string url, warning;
  } cases[] = {
      {"file://" + folder, "a damaged entry was passed over"},
      {first_line(other.out), "Connection refused; building without it"},
      {"file://" + g_services + "/full_cache?max_size=1K", "does not fit the cache's bound"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string name = "after_" + std::to_string(&c - cases);
    ProcessResult built = tree.build_in(name, {"--tov-cache", c.url});
    EXPECT_EQ(built.status, 0) << built.out;
    EXPECT_NE(built.out.find(c.warning), std::string::npos) << built.out;
    EXPECT_TRUE(same_archives(tree.archive("plain"), tree.archive(name)));
  }
}

// Expensive steps through srun on the cluster give the archive a local
// build gives, and the cluster ran them.
TEST_F(Scale, StepsThroughSrunGiveTheLocalArchive) {
  if (g_slurm.empty()) GTEST_SKIP() << "slurmd runs as root only";
  Tree tree;
  ASSERT_EQ(tree.build_in("local", {}).status, 0);
  std::string log = g_services + "/slurm/slurmctld.log";
  auto jobs = [&] {  // lines "... _job_complete: JobId=N done"
    std::string text = read_file(log);
    size_t count = 0;
    for (size_t at = 0; (at = text.find("_job_complete: JobId=", at)) != std::string::npos; ++at)
      count += text.compare(text.find('\n', at) - 5, 5, " done") == 0;
    return count;
  };
  size_t before = jobs();
  setenv("SLURM_CONF", g_slurm.c_str(), 1);
  ProcessResult farmed =
      tree.build_in("farmed", {"--tov-launcher", "srun --quiet", "--tov-remote-jobs", "2"});
  unsetenv("SLURM_CONF");
  ASSERT_EQ(farmed.status, 0) << farmed.out;
  EXPECT_TRUE(same_archives(tree.archive("local"), tree.archive("farmed")));
  // Three C++ data files, three shaders, a texture and a sound.
  EXPECT_EQ(jobs() - before, 8u);
}

// Option values are part of a step's key: a type changed in the endings file
// packs again, though every input of the pack holds the same bytes.
TEST(E2eCache, OptionValuesAreInTheKey) {
  E2eTree tree;
  tree.write("assets/a.sol", "level");
  for (int type : {20, 21}) {
    tree.write("endings.txt", ".sol copy " + std::to_string(type) + "\n");
    ASSERT_EQ(tree.build("e2e_key.tov", {"--tov-dir", "assets/", "--tov-endings", "endings.txt",
                                         "--tov-cache", "file://" + tree.path("cache")})
                  .status,
              0);
    EXPECT_EQ(OpenedArchive(E2eTree::archive_path("e2e_key.tov")).file("a.sol").type, type);
  }
}
