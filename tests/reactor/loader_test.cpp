// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <string>

#include "reactor.h"
#include "test_support.h"

namespace {

class Loader : public testing::Test {
 protected:
  void SetUp() override {
    reactor_create(&host_);
    zu_set_host(&host_);
    setenv("TOV_CALL_LOG", log_.c_str(), 1);
  }
  void TearDown() override {
    reactor_destroy(&host_);
    zu_set_host(nullptr);
  }
  std::string names() {
    std::string text;
    for (u32 i = 0; i < host_.libraries.count; ++i)
      text += std::string(shared_shared_get_name(host_.libraries.data[i])) + " ";
    return text;
  }
  // What the modules recorded since the last call.
  std::string calls() {
    std::string text = read_file(log_);
    write_file(log_, "");
    return text;
  }
  HostContext host_;
  TempDir dir_;
  std::string log_ = dir_ / "calls";
};

}  // namespace

TEST_F(Loader, DepsAreQueuedOnceAndCrossLinkedInOrderThenReloadedAndUnloaded) {
  EXPECT_TRUE(reactor_load_library(&host_.libraries, "mod_a", 0));
  EXPECT_EQ(names(), "mod_a mod_c mod_b ");
  EXPECT_EQ(calls(),
            "mod_a.zu_init(null,0)\n"
            "mod_c.link(mod_a)\n"
            "mod_a.link(mod_c)\n"
            "mod_c.zu_init(null,0)\n"
            "mod_b.link(mod_a)\n"
            "mod_a.link(mod_b)\n"
            "mod_b.link(mod_c)\n"
            "mod_c.link(mod_b)\n"
            "mod_b.zu_init(null,0)\n");

  EXPECT_TRUE(reactor_load_library(&host_.libraries, "mod_c", 1));
  EXPECT_EQ(names(), "mod_a mod_c mod_b ");  // the same slot
  EXPECT_EQ(calls(),
            "mod_c.zu_fini(1)\n"
            "mod_c.link(mod_a)\n"
            "mod_a.link(mod_c)\n"
            "mod_c.link(mod_b)\n"
            "mod_b.link(mod_c)\n"
            "mod_c.zu_init(mod_c-state,1)\n");

  reactor_unload_libraries(&host_.libraries);
  EXPECT_EQ(calls(), "mod_a.zu_fini(0)\nmod_c.zu_fini(0)\nmod_b.zu_fini(0)\n");
  EXPECT_EQ(host_.libraries.count, 0u);
  EXPECT_EQ(host_.libraries.data, nullptr);
}
