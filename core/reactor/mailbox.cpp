// SPDX-License-Identifier: Zlib
// Per-thread mailboxes: a post delivers the messages that one of the
// mailbox's filters accepts; a wait hands over everything pending.
#include "reactor.h"

namespace {
constexpr u32 kMaxPost = 1024;
}  // namespace

u16 reactor_channel_code(const char* name) {
  // code(c + rest) = (c - 'A') + 29 * code(rest), in 32 bits, low 16 kept.
  u32 length = (u32)strlen(name);
  u32 code = 0;
  for (u32 i = length; i > 0; --i) code = (u32)(u8)(name[i - 1] - 'A') + 29u * code;
  return (u16)code;
}

bool message_filter_matches(const MessageFilter* filter, const ReactorMessage* message) {
  bool ids = (filter->match & 1) ? message->id == filter->pattern.id
                                 : (message->id >> 16) == (filter->pattern.id >> 16);
  if (!ids) return false;
  if (filter->match & 2)
    return memcmp(message->payload, filter->pattern.payload, sizeof(message->payload)) == 0;
  return true;
}

Mailbox* reactor_mailbox(MessageBus* bus) {
  if (Mailbox* mailbox = (Mailbox*)thread_tls_get(bus->slot)) return mailbox;
  thread_mutex_lock(bus->lock);
  Mailbox* mailbox = (Mailbox*)sys_malloc(sizeof(Mailbox));
  memset((void*)mailbox, 0, sizeof(*mailbox));
  mailbox->lock = thread_mutex_create();
  mailbox->signal = thread_cond_create();
  zu_array_push(&bus->mailboxes, mailbox);
  thread_tls_set(bus->slot, mailbox);
  ReactorMessage core = {};
  core.id = reactor_message_id(reactor_channel_code("CORE"), 0);
  mailbox_subscribe(mailbox, &core, 0);
  thread_mutex_unlock(bus->lock);
  return mailbox;
}

void mailbox_subscribe(Mailbox* mailbox, const ReactorMessage* pattern, u8 match) {
  mailbox_subscribe_range(mailbox, pattern, pattern + 1, match);
}

void mailbox_subscribe_range(Mailbox* mailbox, const ReactorMessage* first,
                             const ReactorMessage* end, u8 match) {
  thread_mutex_lock(mailbox->lock);
  for (const ReactorMessage* at = first; at < end; ++at) {
    MessageFilter* filter = zu_array_push_zeroed(&mailbox->filters);
    filter->pattern = *at;
    filter->match = match;
  }
  thread_mutex_unlock(mailbox->lock);
}

void mailbox_post(Mailbox* mailbox, const ReactorMessage* first, const ReactorMessage* end) {
  u16 count = (u16)(end - first);
  if (count == 0) return;
  // Filters change only while nobody posts to the mailbox, so they are read
  // without its lock.
  u16 selected[kMaxPost];
  u32 selected_count = 0;
  for (u16 i = 0; i < count && selected_count < kMaxPost; ++i) {
    for (u32 f = 0; f < mailbox->filters.count; ++f) {
      if (message_filter_matches(mailbox->filters.data + f, first + i)) {
        selected[selected_count++] = i;
        break;
      }
    }
  }
  if (selected_count == 0) return;
  thread_mutex_lock(mailbox->lock);
  ZuArray<ReactorMessage>* pending = &mailbox->pending;
  zu_array_reserve(pending, (u64)pending->count + selected_count);
  if (selected_count == count) {
    zu_array_append(pending, first, count);
  } else {
    for (u32 i = 0; i < selected_count; ++i) pending->data[pending->count++] = first[selected[i]];
  }
  thread_cond_wake_all(mailbox->signal);
  thread_mutex_unlock(mailbox->lock);
}

void reactor_broadcast(MessageBus* bus, const ReactorMessage* message) {
  reactor_broadcast_range(bus, message, message + 1);
}

void reactor_broadcast_range(MessageBus* bus, const ReactorMessage* first,
                             const ReactorMessage* end) {
  // Holding the bus lock keeps mailboxes from being created mid-walk.
  thread_mutex_lock(bus->lock);
  for (u32 i = 0; i < bus->mailboxes.count; ++i) mailbox_post(bus->mailboxes.data[i], first, end);
  thread_mutex_unlock(bus->lock);
}

static void swap_pending(Mailbox* mailbox, ZuArray<ReactorMessage>* out) {
  // The caller receives the messages; the mailbox keeps the caller's block.
  ZuArray<ReactorMessage> taken = mailbox->pending;
  mailbox->pending = *out;
  *out = taken;
}

void mailbox_wait(Mailbox* mailbox, ZuArray<ReactorMessage>* out, u32 milliseconds) {
  out->count = 0;
  thread_mutex_lock(mailbox->lock);
  if (mailbox->pending.count == 0) {
    if (milliseconds == kMailboxWaitForever) thread_cond_wait(mailbox->signal, mailbox->lock);
    else thread_cond_wait_time(mailbox->signal, mailbox->lock, milliseconds);
  }
  swap_pending(mailbox, out);
  thread_mutex_unlock(mailbox->lock);
}

void mailbox_poll(Mailbox* mailbox, ZuArray<ReactorMessage>* out) {
  out->count = 0;
  thread_mutex_lock(mailbox->lock);
  if (mailbox->pending.count > 0) swap_pending(mailbox, out);
  thread_mutex_unlock(mailbox->lock);
}
