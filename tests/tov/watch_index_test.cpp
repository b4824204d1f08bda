// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "watch/ninja_index.h"
#include "watch/watch_manifest.h"

namespace {

std::string canonical(const char* text) {
  ZuString path;
  zu_string_init(&path, text);
  ninja_canonical(&path);
  std::string result = zu_string_text(&path);
  zu_string_destroy(&path);
  return result;
}

// build.ninja as generation writes it, with what Ninja allows besides:
// escapes, a line carried on, implicit and order-only inputs.
const char kBuild[] =
    "boot = /bin/tov\n"
    "wd = /w/$:x/\n"
    "id = out/i/\n"
    "sdk = /sdk/\n"
    "builddir = ${wd}${id}../\n"
    "od = ${wd}${id}\n"
    "fd = /w/$:x/out/\n"
    "include ${builddir}tov.ninja\n"
    "\n"
    "build ${od}a.bin : copy ${wd}src/./a.bin | ${sdk}versions/copy.txt\n"
    "\n"
    "build ${od}my$ file.bin : copy ${wd}src/my$ file.bin\n"
    "\n"
    "build ${od}gen.h : cxx ${wd}src/gen.data.cpp $\n"
    "    | ${wd}src/sub/../settings.toml || ${od}order.stamp\n"
    "  out_depfile = ${builddir}depfiles/gen.d\n"
    "\n"
    "build ${od}data.bin : copy ${od}gen.h\n"
    "\n"
    "build ${od}all.fileinfo : fileinfo ${od}a.bin ${od}my$ file.bin ${od}data.bin\n"
    "  out_rspfile = ${od}all.fileinfo.rsp\n"
    "\n"
    "build ${fd}game.tov : tov ${od}a.bin ${od}my$ file.bin ${od}data.bin ${od}all.fileinfo\n"
    "  out_rspfile = ${fd}game.tov.rsp\n"
    "  tov_types = 2 13 4 2\n"
    "\n"
    "rule tov_regenerate\n"
    "  command = cd \"/w/:x\" && \"$boot\" --arg-file \"${od}regenerate.args\"\n"
    "  generator = 1\n"
    "\n"
    "build build.ninja : tov_regenerate ${wd}src\n"
    "build ${wd}src : phony\n"
    "\n"
    "default ${fd}game.tov\n";

u64 hash(const std::string& path) { return zu_hash(path.data(), path.size()); }

}  // namespace

TEST(WatchIndex, CanonicalPathsAsNinjaNamesThem) {
  struct Case {
    const char* path;
    const char* canonical;
  } cases[] = {
      {"/a/./b", "/a/b"}, {"/a//b/", "/a/b/"}, {"/a/b/../c", "/a/c"},  {"a/../../b", "../b"},
      {"./", "."},        {"/x/.", "/x"},      {"../../a", "../../a"}, {"/a/b/c/../../d", "/a/d"}};
  for (const Case& c : cases) EXPECT_EQ(canonical(c.path), c.canonical) << c.path;
}

TEST(WatchIndex, ReadsStatementsAndPlansWhatASaveNeeds) {
  TestHost host;
  TempDir dir;
  write_file(dir / "build.ninja", kBuild);
  NinjaIndex index;
  ZuString error;
  ASSERT_TRUE(ninja_index_load(&index, (dir / "build.ninja").c_str(), &error));
  EXPECT_STREQ(ninja_index_variable(&index, "od"), "/w/:x/out/i/");
  EXPECT_STREQ(zu_string_text(&index.generation_folder), "/w/:x");
  ASSERT_EQ(index.statements.count, 8u);
  ASSERT_NE(index.pack, kNoStatement);
  EXPECT_EQ(std::vector<u16>(index.pack_types.data, index.pack_types.data + index.pack_types.count),
            (std::vector<u16>{2, 13, 4, 2}));
  EXPECT_EQ(index.pack_members.count, 3u);
  // Inputs as Ninja names them: escapes undone, canonical, the order-only
  // one left out; the statement text runs to its last binding.
  const NinjaPathKey* end;
  EXPECT_TRUE(ninja_index_readers(&index, hash("/w/:x/src/a.bin"), &end));
  EXPECT_TRUE(ninja_index_readers(&index, hash("/w/:x/src/my file.bin"), &end));
  EXPECT_TRUE(ninja_index_readers(&index, hash("/w/:x/src/settings.toml"), &end));
  EXPECT_FALSE(ninja_index_readers(&index, hash("/w/:x/out/i/order.stamp"), &end));
  u32 cxx = ninja_index_writer(&index, hash("/w/:x/out/i/gen.h"));
  ASSERT_NE(cxx, kNoStatement);
  const NinjaStatement* statement = index.statements.data + cxx;
  EXPECT_TRUE(statement->has_depfile);
  std::string text(index.text.data + statement->begin, statement->end - statement->begin);
  EXPECT_EQ(text.substr(text.find("  out_depfile")), "  out_depfile = ${builddir}depfiles/gen.d\n");

  // A change of the settings reaches the data step and the copy of what it
  // writes, never the catalogue or the pack; a header a depfile named
  // reaches the statement that read it.
  ZuArray<NinjaPathKey> found = {};
  zu_array_push(&found, NinjaPathKey{hash("/w/:x/include/types.h"), cxx});
  struct Case {
    std::string source;
    std::vector<std::string> members;  // their types after ':'
  } cases[] = {{"/w/:x/src/settings.toml", {"/w/:x/out/i/data.bin:4"}},
               {"/w/:x/include/types.h", {"/w/:x/out/i/data.bin:4"}},
               {"/w/:x/src/my file.bin", {"/w/:x/out/i/my file.bin:13"}},
               {"/w/:x/src/other.bin", {}}};
  for (const Case& c : cases) {
    u64 source = hash(c.source);
    WatchManifest manifest;
    watch_manifest_plan(&index, &found, &source, 1, nullptr, &manifest);
    std::vector<std::string> members;
    for (u32 i = 0; i < manifest.members.count; ++i)
      members.push_back(std::string(zu_string_text(&manifest.members.data[i].path)) + ":" +
                        std::to_string(manifest.members.data[i].type));
    EXPECT_EQ(members, c.members) << c.source;
    if (c.source == "/w/:x/src/settings.toml") {
      EXPECT_EQ(manifest.statements.count, 2u);
      ASSERT_TRUE(watch_manifest_write(&index, &manifest, (dir / "watch.ninja").c_str(), "/b d/"));
      std::string text = read_file(dir / "watch.ninja");
      EXPECT_EQ(text.find("build ${od}a.bin"), std::string::npos);
      EXPECT_NE(text.find("tov.ninja\n\n\nbuilddir = /b$ d/\n"), std::string::npos) << text;
      EXPECT_NE(text.find("build ${od}data.bin : copy ${od}gen.h\n"), std::string::npos);
      EXPECT_EQ(text.find("fileinfo"), std::string::npos);
    }
    watch_manifest_destroy(&manifest);
  }
  zu_array_destroy(&found);
  ninja_index_destroy(&index);
}
