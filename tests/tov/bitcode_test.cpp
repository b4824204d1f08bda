// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>

#include "module_pointers.h"
#include "reactor.h"
#include "test_support.h"

namespace {

class Bitcode : public testing::Test {
 protected:
  void SetUp() override {
    // The test framework took its own options out of argv: parse none.
    static char program[] = "tov_test";
    static char* argv[] = {program, nullptr};
    sys_set_argc_argv(1, argv);
    reactor_create(&host_);
    zu_set_host(&host_);
    ASSERT_TRUE(reactor_load_library(&host_.libraries, "bcgen", 0));
    initialize_pointers_bcgen(reactor_find_library(&host_.libraries, "bcgen"));
    ASSERT_NE(bcgen_bitcode_create, nullptr);
  }
  void TearDown() override {
    zu_set_host(nullptr);
    reactor_destroy(&host_);  // bcgen's records were joined to this program's
  }
  std::string compile(const std::string& source, u8* used) {
    std::string text = source;  // followed in memory by its NUL
    CompileSource sources[] = {{"data/x.data.cpp", (const u8*)text.c_str(), text.size()}};
    const char* used_text = "#define A 1\n";
    const char* unused_text = "#define B 2\n";
    CompileSource headers[] = {{"data/a.h", (const u8*)used_text, strlen(used_text)},
                               {"data/b.h", (const u8*)unused_text, strlen(unused_text)}};
    const char* flags[] = {"-DZU_RELEASE=1"};
    void* bitcode = bcgen_bitcode_create(sources, 1, headers, 2, flags, 1, used);
    if (!bitcode) return "<failed>";
    const void* data = nullptr;
    u64 size = bcgen_bitcode_get_data(bitcode, &data);
    std::string bytes((const char*)data, size);
    bcgen_bitcode_destroy(bitcode);
    return bytes;
  }
  HostContext host_;
};

}  // namespace

TEST_F(Bitcode, SameSourceSameBytesAndUsedHeadersMarked) {
  const char* source = "#include \"a.h\"\nextern \"C\" int f() { return A + __LINE__; }\n";
  u8 used[2] = {0, 0};
  std::string first = compile(source, used);
  ASSERT_NE(first, "<failed>");
  EXPECT_EQ(first.substr(0, 4), std::string("BC\xC0\xDE", 4));
  EXPECT_EQ(used[0], 1);
  EXPECT_EQ(used[1], 0);
  u8 again[2] = {0, 0};
  EXPECT_EQ(compile(source, again), first);
  u8 none[2] = {0, 0};
  testing::internal::CaptureStdout();
  EXPECT_EQ(compile("int broken = ;", none), "<failed>");
  fflush(stdout);
  std::string diagnostics = testing::internal::GetCapturedStdout();
  EXPECT_NE(diagnostics.find("data/x.data.cpp:1:14: error"), std::string::npos) << diagnostics;
  EXPECT_EQ(diagnostics.find("/tov_data"), std::string::npos) << diagnostics;
}
