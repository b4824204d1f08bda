// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include "reactor.h"

namespace {

ReactorMessage message(const char* channel, u16 number, u8 first_payload_byte = 0) {
  ReactorMessage result = {};
  result.id = reactor_message_id(reactor_channel_code(channel), number);
  result.payload[0] = first_payload_byte;
  return result;
}

class Mailboxes : public testing::Test {
 protected:
  void SetUp() override { reactor_create(&host_); }
  void TearDown() override { reactor_destroy(&host_); }
  HostContext host_;
};

}  // namespace

TEST(ChannelCode, CoreIs46725) {
  EXPECT_EQ(reactor_channel_code("CORE"), 46725);
  EXPECT_EQ(reactor_channel_code(""), 0);
  EXPECT_EQ(reactor_channel_code("B"), 1);
  EXPECT_EQ(reactor_channel_code("AB"), 29);
}

TEST_F(Mailboxes, FreshMailboxTakesCoreOnly) {
  Mailbox* mailbox = reactor_mailbox(&host_.bus);
  ReactorMessage posted[] = {message("CORE", 7), message("GAME", 1)};
  mailbox_post(mailbox, posted, posted + 2);
  ZuArray<ReactorMessage> out = {};
  mailbox_poll(mailbox, &out);
  ASSERT_EQ(out.count, 1u);
  EXPECT_EQ(out.data[0].id, posted[0].id);
  ReactorMessage game = message("GAME", 0);
  mailbox_subscribe(mailbox, &game, 0);
  mailbox_post(mailbox, posted + 1, posted + 2);
  mailbox_poll(mailbox, &out);
  EXPECT_EQ(out.count, 1u);
  mailbox_poll(mailbox, &out);
  EXPECT_EQ(out.count, 0u);
  zu_array_destroy(&out);
}

TEST(MessageFilter, MatchBitsSelectIdAndPayload) {
  MessageFilter filter = {message("AUDIO", 5, 9), 0};
  EXPECT_TRUE(message_filter_matches(&filter, &filter.pattern));
  ReactorMessage other_number = message("AUDIO", 6, 1);
  ReactorMessage other_payload = message("AUDIO", 5, 1);
  ReactorMessage other_channel = message("VIDEO", 5, 9);
  EXPECT_TRUE(message_filter_matches(&filter, &other_number));
  EXPECT_FALSE(message_filter_matches(&filter, &other_channel));
  filter.match = 1;
  EXPECT_FALSE(message_filter_matches(&filter, &other_number));
  EXPECT_TRUE(message_filter_matches(&filter, &other_payload));
  filter.match = 3;
  EXPECT_FALSE(message_filter_matches(&filter, &other_payload));
  EXPECT_TRUE(message_filter_matches(&filter, &filter.pattern));
}

TEST_F(Mailboxes, TenMessagesOfWhichThreePassKeepTheirOrder) {
  Mailbox* mailbox = reactor_mailbox(&host_.bus);
  ReactorMessage exact = message("GAME", 3);
  mailbox_subscribe(mailbox, &exact, 1);
  ReactorMessage posted[10];
  for (u16 i = 0; i < 10; ++i) posted[i] = message(i == 4 || i == 8 ? "CORE" : "GAME", i);
  mailbox_post(mailbox, posted, posted + 10);
  ZuArray<ReactorMessage> out = {};
  mailbox_wait(mailbox, &out, 0);
  ASSERT_EQ(out.count, 3u);
  EXPECT_EQ(out.data[0].id, posted[3].id);
  EXPECT_EQ(out.data[1].id, posted[4].id);
  EXPECT_EQ(out.data[2].id, posted[8].id);
  zu_array_destroy(&out);
}

namespace {
struct Poster {
  Mailbox* target;
};
u32 post_later(void* argument) {
  threadlocal_sleep(30);
  ReactorMessage core = message("CORE", 1);
  mailbox_post(((Poster*)argument)->target, &core, &core + 1);
  return 0;
}
}  // namespace

TEST_F(Mailboxes, WaitReturnsAtOnceWithTimeOutZeroAndBlocksUntilAPostWithout) {
  Mailbox* mailbox = reactor_mailbox(&host_.bus);
  ZuArray<ReactorMessage> out = {};
  mailbox_wait(mailbox, &out, 0);
  EXPECT_EQ(out.count, 0u);
  Poster poster = {mailbox};
  ZuThread* thread = thread_thread_create(post_later, &poster, "poster", 1000000);
  while (out.count == 0) mailbox_wait(mailbox, &out, kMailboxWaitForever);
  EXPECT_EQ(out.count, 1u);
  thread_thread_join(thread);
  thread_thread_destroy(thread);
  zu_array_destroy(&out);
}

TEST_F(Mailboxes, BroadcastReachesEveryMailbox) {
  Mailbox* mine = reactor_mailbox(&host_.bus);
  static Mailbox* theirs;
  ZuThread* thread = thread_thread_create(
      [](void* bus) -> u32 {
        theirs = reactor_mailbox((MessageBus*)bus);
        return 0;
      },
      &host_.bus, "other", 1000000);
  thread_thread_join(thread);
  thread_thread_destroy(thread);
  ASSERT_NE(theirs, mine);
  ReactorMessage core = message("CORE", 2);
  reactor_broadcast(&host_.bus, &core);
  ZuArray<ReactorMessage> out = {};
  mailbox_poll(mine, &out);
  EXPECT_EQ(out.count, 1u);
  mailbox_poll(theirs, &out);
  EXPECT_EQ(out.count, 1u);
  zu_array_destroy(&out);
}
