// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "e2e_tree.h"

namespace {

int steps(const std::string& ninja_output) {
  int count = 0;
  for (size_t at = ninja_output.find("\n["); at != std::string::npos;
       at = ninja_output.find("\n[", at + 1))
    ++count;
  return count + (ninja_output.rfind("[", 0) == 0 ? 1 : 0);
}

}  // namespace

TEST(E2eBuild, IntermediatesOfASmallTreeAndIncrementalRebuilds) {
  E2eTree tree;
  tree.write("assets/include/defs.h", "int x;\n");
  tree.write("assets/include/defs.gen.h", "#define N 3\n");
  tree.write("assets/src/main.cpp", "int main() {}\n");
  tree.write("assets/src/util.c", "int u;");
  tree.write("assets/text/menu.strtbl", "Start\r\n\r\nQuit\n\nBack");
  tree.write("assets/data/a.bin", std::string("\0\1\2\3", 4));
  tree.write("assets/data/nested/deep/b.bin", "deep");
  tree.write("extra/c.bin", "renamed");
  ProcessResult generated =
      tree.generate("e2e_build.tov", {"--tov-dir", "assets/", "extra/|more/"});
  ASSERT_EQ(generated.status, 0) << generated.err;
  EXPECT_EQ(generated.err, "");
  ProcessResult built = tree.ninja();
  ASSERT_EQ(built.status, 0) << built.out << built.err;
  EXPECT_EQ(read_file(tree.path("out/i/include/defs.h")), std::string("int x;\n\0", 8));
  EXPECT_EQ(read_file(tree.path("out/i/include/defs.gen.h")), std::string("#define N 3\n\0", 13));
  EXPECT_EQ(read_file(tree.path("out/i/src/main.cpp")), std::string("int main() {}\n\0", 15));
  EXPECT_EQ(read_file(tree.path("out/i/src/util.c")), std::string("int u;\0", 7));
  EXPECT_EQ(read_file(tree.path("out/i/text/menu.strtbl")),
            string_table_bytes({0, 9, 15}, std::string("Start\0\0\0\0Quit\0\0Back\0", 20)));
  EXPECT_EQ(read_file(tree.path("out/i/data/a.bin")), std::string("\0\1\2\3", 4));
  EXPECT_EQ(read_file(tree.path("out/i/data/nested/deep/b.bin")), "deep");
  EXPECT_EQ(read_file(tree.path("out/i/more/c.bin")), "renamed");
  EXPECT_EQ(filesystem_get_attr(E2eTree::archive_path("e2e_build.tov").c_str()), 3u);

  ProcessResult again = tree.ninja();
  EXPECT_NE(again.out.find("ninja: no work to do."), std::string::npos) << again.out;

  tree.write("assets/include/defs.h", "int y;\n");
  tree.age("assets/include/defs.h", 5);
  ProcessResult rebuilt = tree.ninja();
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.out;
  // The header's statement, then the catalogue and the pack.
  EXPECT_EQ(steps(rebuilt.out), 3) << rebuilt.out;
  EXPECT_NE(rebuilt.out.find("NULLTERMINATE"), std::string::npos);
  EXPECT_EQ(read_file(tree.path("out/i/include/defs.h")), std::string("int y;\n\0", 8));
}
