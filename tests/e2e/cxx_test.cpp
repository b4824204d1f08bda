// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "e2e_tree.h"
#include "tov/tov_archive.h"

namespace {

const char* kData =
    "#include <tov_data.h>\n"
    "#include \"../inc/used.h\"\n"
    "extern \"C\" void tov_compile_data(CommandContext* context, void*) {\n"
    "  int value = USED_VALUE;\n"
    "  tov_write(context, 0, &value, sizeof(value));\n"
    "}\n"
    "extern \"C\" void other_entry(CommandContext* context, void*) {\n"
    "  tov_write(context, 0, \"other\", 5);\n"
    "}\n";

// Runs the cxx command on one source in the tree, as Ninja would, from the
// tree's folder or from a folder below it.
ProcessResult cxx(const E2eTree& tree, const std::string& source, const std::string& extra,
                  const std::string& below = "") {
  return run_shell(shell_quote(host_path()) + " --tov-working-dir " + shell_quote(tree.root()) +
                       " --tov-sdk-dir " + shell_quote(source_dir() + "sdk") +
                       " --tov-intermediate-dir out/i --tov-command cxx --tov-command-in-file " +
                       shell_quote(tree.path(source)) + " --tov-command-out-file " +
                       shell_quote(tree.path("out.bin")) + " --tov-command-args " +
                       shell_quote("\\-I" + source_dir() + "sdk/include") + " " + extra,
                   tree.root() + below);
}

int read_int(const std::string& path) {
  std::string bytes = read_file(path);
  int value = -1;
  if (bytes.size() == 4) memcpy(&value, bytes.data(), 4);
  return value;
}

}  // namespace

TEST(E2eCxx, DataBuildsAndDependsOnExactlyTheHeadersItUses) {
  E2eTree tree;
  tree.write("assets/inc/used.h", "#define USED_VALUE 42\n");
  tree.write("assets/inc/unused.h", "#define UNUSED 1\n");
  tree.write("assets/src/level.data.cpp", kData);
  ASSERT_EQ(tree.build("e2e_cxx.tov", {"--tov-dir", "assets/"}).status, 0);
  EXPECT_EQ(read_int(tree.path("out/i/src/level.bin")), 42);
  ProcessResult deps = tree.ninja("-t deps");
  EXPECT_NE(deps.out.find(tree.path("assets/inc/used.h")), std::string::npos) << deps.out;
  EXPECT_EQ(deps.out.find("unused.h"), std::string::npos) << deps.out;

  tree.age("assets/inc/unused.h", 5);
  ProcessResult unused = tree.ninja();
  EXPECT_EQ(unused.out.find("CXX"), std::string::npos) << unused.out;
  tree.write("assets/inc/used.h", "#define USED_VALUE 7\n");
  tree.age("assets/inc/used.h", 10);
  ProcessResult used = tree.ninja();
  EXPECT_NE(used.out.find("CXX"), std::string::npos) << used.out;
  EXPECT_EQ(read_int(tree.path("out/i/src/level.bin")), 7);
}

TEST(E2eCxx, HeadersFromAnEarlierArchiveAndTheDepfile) {
  E2eTree tree;
  tree.write("assets/inc/used.h", "#define USED_VALUE 1\n");
  ASSERT_EQ(tree.build("e2e_headers.tov", {"--tov-dir", "assets/"}).status, 0);
  std::string archive = tree.path("headers.tov");
  ASSERT_TRUE(copy_file(E2eTree::archive_path("e2e_headers.tov"), archive));
  // The archive holds "inc/used.h"; the source includes it by that name.
  tree.write("data/x.data.cpp",
             "#include <tov_data.h>\n#include \"inc/used.h\"\n"
             "extern \"C\" void tov_compile_data(CommandContext* c, void*) {\n"
             "  int v = USED_VALUE; tov_write(c, 0, &v, 4); }\n");
  ProcessResult result = cxx(tree, "data/x.data.cpp",
                             "--tov-cxx-depfile out.d --tov-cxx-headers " + shell_quote(archive));
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(read_int(tree.path("out.bin")), 1);
  auto escaped = [](std::string path) {  // blanks escaped, as in a depfile
    for (size_t at = path.find(' '); at != std::string::npos; at = path.find(' ', at + 2))
      path.insert(at, "\\");
    return path;
  };
  std::string escaped_archive = escaped(archive), escaped_out = escaped(tree.path("out.bin"));
  EXPECT_EQ(read_file(tree.path("out.d")), escaped_out + ": " + escaped_archive);

  // A header file beside the archive's copy of the same name wins.
  tree.write("inc/used.h", "#define USED_VALUE 99\n");
  result = cxx(tree, "data/x.data.cpp",
               "--tov-cxx-depfile out.d --tov-cxx-headers inc/used.h " + shell_quote(archive));
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(read_int(tree.path("out.bin")), 99);
  EXPECT_EQ(read_file(tree.path("out.d")), escaped_out + ": " + escaped(tree.path("inc/used.h")));

  // An archive named relative to the working folder is found there, and
  // named so in the depfile, wherever the step runs (Ninja's folder).
  tree.write("inc/used.h", "#define OTHER 1\n");
  ProcessResult elsewhere = cxx(tree, "data/x.data.cpp",
                                "--tov-cxx-depfile ../out.d --tov-cxx-headers headers.tov", "out");
  ASSERT_EQ(elsewhere.status, 0) << elsewhere.out << elsewhere.err;
  EXPECT_EQ(read_int(tree.path("out.bin")), 1);
  EXPECT_EQ(read_file(tree.path("out.d")), escaped_out + ": " + escaped_archive);
}

TEST(E2eCxx, FailuresAndTheirMessages) {
  E2eTree tree;
  tree.write("data/x.data.cpp", kData);
  tree.write("inc/used.h", "#define USED_VALUE 3\n");
  tree.write("data/bad.data.cpp", "#include <tov_data.h>\nint broken = ;\n");
  std::string out = tree.path("out.bin");
  ProcessResult result = cxx(tree, "data/bad.data.cpp", "");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err, "Failed compilation of '" + out + "'\n");
  EXPECT_NE(result.out.find("data/bad.data.cpp:2:14: error: expected expression"),
            std::string::npos)
      << result.out;
  result = cxx(tree, "data/x.data.cpp", "--tov-cxx-headers inc/used.h --tov-cpp-function nothing");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err, "Unable to find function 'nothing'\n");
  result =
      cxx(tree, "data/x.data.cpp", "--tov-cxx-headers inc/used.h --tov-cpp-function other_entry");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(out), "other");
  result = cxx(tree, "data/x.data.cpp", "--tov-cxx-headers inc/used.hpp");
  EXPECT_EQ(result.err,
            "'inc/used.hpp' is not a valid dependency, only '.tov' and '.h' files allowed\n");
  // A damaged archive of headers is refused before anything reads it.
  tree.write("bad.tov", "TOV1" + std::string(200, '\x7f'));
  result = cxx(tree, "data/x.data.cpp", "--tov-cxx-headers bad.tov");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err,
            "ERROR: 'bad.tov' is not a sound archive: header size wrong (at offset 4)\n");

  // A host without bcgen.x86_64 beside it.
  std::string bin = tree.path("bin/");
  ASSERT_EQ(run_shell("mkdir -p " + shell_quote(bin) + " && cp " + shell_quote(host_path()) + " " +
                      shell_quote(bin_dir() + "libzu_sys.so") + " " +
                      shell_quote(bin_dir() + "tov.x86_64") + " " + shell_quote(bin))
                .status,
            0);
  result = run_shell(shell_quote(bin + "tov") + " --tov-working-dir " + shell_quote(tree.root()) +
                         " --tov-sdk-dir / --tov-intermediate-dir i --tov-command cxx "
                         "--tov-command-in-file data/x.data.cpp --tov-command-out-file o.bin",
                     tree.root());
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err, "Failed to load 'bcgen'\n");
  EXPECT_NE(result.out.find("Loading library bcgen FAILED\n"), std::string::npos) << result.out;
  // And without its own module.
  ASSERT_EQ(remove((bin + "tov.x86_64").c_str()), 0);
  result = run_shell(shell_quote(bin + "tov") + " --help", tree.root());
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.err, "ERROR: The module 'tov' did not install an entry (is " + bin +
                            "tov.x86_64 missing?)\n");
}

TEST(E2eCxx, SameDataSameOutputWhereverTheTreeLies) {
  std::string outputs[2];
  for (std::string& output : outputs) {
    E2eTree tree;
    tree.write("data/x.data.cpp",
               "#include <tov_data.h>\n#include <string>\n"
               "extern \"C\" void tov_compile_data(CommandContext* c, void*) {\n"
               "  std::string where = __FILE__; tov_write(c, 0, where.data(), where.size()); }\n");
    ProcessResult result = cxx(tree, "data/x.data.cpp", "");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    output = read_file(tree.path("out.bin"));
  }
  EXPECT_EQ(outputs[0], outputs[1]);
  EXPECT_EQ(outputs[0], "data/x.data.cpp");
}

// Static constructors run before the entry; destructors, including those
// registered at run time, run when the data is unloaded, while the step's
// outputs are still open.
TEST(E2eCxx, StaticConstructorsAndDestructorsRunAroundTheEntry) {
  E2eTree tree;
  tree.write("data/x.data.cpp",
             "#include <tov_data.h>\n#include <cstdlib>\n#include <string>\n"
             "static CommandContext* g_context;\n"
             "static std::string g_log = \"c\";\n"
             "struct Last { ~Last() { g_log += 'd'; tov_write(g_context, 0, g_log.data(), "
             "g_log.size()); } };\n"
             "static void at_exit() { g_log += 'a'; }\n"
             "extern \"C\" void tov_compile_data(CommandContext* c, void*) {\n"
             "  g_context = c; g_log += 'e';\n"
             "  static Last last; std::atexit(at_exit); }\n");
  ProcessResult result = cxx(tree, "data/x.data.cpp", "");
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  // In reverse order of registration: the atexit function, then the local
  // static, which writes what happened; g_log itself goes last.
  EXPECT_EQ(read_file(tree.path("out.bin")), "cead");
}
