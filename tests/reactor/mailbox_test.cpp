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

}  // namespace

TEST(Mailbox, ChannelsFiltersAndOrder) {
  EXPECT_EQ(reactor_channel_code("CORE"), 46725);
  EXPECT_EQ(reactor_channel_code(""), 0);
  EXPECT_EQ(reactor_channel_code("AB"), 29);
  MessageFilter filter = {message("AUDIO", 5, 9), 0};  // match bits: 1 the id, 2 the payload
  ReactorMessage other_number = message("AUDIO", 6, 1), other_payload = message("AUDIO", 5, 1);
  ReactorMessage other_channel = message("VIDEO", 5, 9);
  EXPECT_TRUE(message_filter_matches(&filter, &other_number));
  EXPECT_FALSE(message_filter_matches(&filter, &other_channel));
  filter.match = 1;
  EXPECT_FALSE(message_filter_matches(&filter, &other_number));
  EXPECT_TRUE(message_filter_matches(&filter, &other_payload));
  filter.match = 3;
  EXPECT_FALSE(message_filter_matches(&filter, &other_payload));
  EXPECT_TRUE(message_filter_matches(&filter, &filter.pattern));

  // A fresh mailbox takes CORE only; a subscription adds what it matches,
  // and what passes keeps its order.
  HostContext host;
  reactor_create(&host);
  Mailbox* mailbox = reactor_mailbox(&host.bus);
  ReactorMessage exact = message("GAME", 3);
  ReactorMessage posted[10];
  for (u16 i = 0; i < 10; ++i) posted[i] = message(i == 4 || i == 8 ? "CORE" : "GAME", i);
  ZuArray<ReactorMessage> out = {};
  for (int subscribed = 0; subscribed < 2; ++subscribed) {
    if (subscribed) mailbox_subscribe(mailbox, &exact, 1);
    mailbox_post(mailbox, posted, posted + 10);
    mailbox_wait(mailbox, &out, 0);
    ASSERT_EQ(out.count, 2u + subscribed);
    EXPECT_EQ(out.data[0].id, posted[subscribed ? 3 : 4].id);
    EXPECT_EQ(out.data[out.count - 1].id, posted[8].id);
    mailbox_poll(mailbox, &out);
    EXPECT_EQ(out.count, 0u);
  }
  zu_array_destroy(&out);
  reactor_destroy(&host);
}
