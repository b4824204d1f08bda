// SPDX-License-Identifier: Zlib
// The reactor: the process's HostContext as a whole. The host creates it,
// loads modules into it, adds worker threads, and runs the application's
// entry; threads exchange fixed-size messages through mailboxes.
#pragma once

#include "host_context.h"

// ---- module loader -------------------------------------------------------
// Loads name and every library its zu_init asks for. With reload, a loaded
// library is unloaded (handing zu_fini's state to the new zu_init) and
// loaded again in its slot. Prints "Loading library %s FAILED\n" and returns
// false at the first library that cannot be loaded.
bool reactor_load_library(ZuArray<ZuShared*>* libraries, const char* name, u8 reload);
// zu_fini(0) and destroy for each library in load order; empties the array.
void reactor_unload_libraries(ZuArray<ZuShared*>* libraries);
void* reactor_library_function(ZuArray<ZuShared*>* libraries, const char* library,
                               const char* symbol);
bool reactor_library_is_loaded(ZuArray<ZuShared*>* libraries, const char* name);
ZuShared* reactor_find_library(ZuArray<ZuShared*>* libraries, const char* name);

// The module contract's exports.
typedef void (*ZuInitFunction)(void* state, u8 reloaded, const char* const** deps);
typedef void* (*ZuFiniFunction)(u8 reloading);
typedef void (*InitializePointersFunction)(ZuShared* library);

// ---- reactor and worker threads -----------------------------------------
void reactor_create(HostContext* host);
void reactor_destroy(HostContext* host);
void reactor_add_thread(HostContext* host, ZuThreadFunction function, void* argument,
                        const char* name);
// Called by each worker as it starts; returns once the run has begun.
void reactor_thread_started(HostContext* host);
// Waits until every created worker has started, then calls the entry.
u32 reactor_run(HostContext* host, u32 argument, void* data);
// The number of workers to create: the option threads, else the hardware
// concurrency less two, at least 1.
u64 reactor_thread_count(void);
u64 reactor_thread_count_for(u32 hardware_concurrency);

// ---- mailboxes -----------------------------------------------------------
// The channel code of a name of capital letters ("CORE" is 46725).
u16 reactor_channel_code(const char* name);
inline u32 reactor_message_id(u16 channel, u16 number) { return (u32)channel << 16 | number; }

// The calling thread's mailbox, created on first use and listening to
// "CORE" from the start.
Mailbox* reactor_mailbox(MessageBus* bus);
void mailbox_subscribe(Mailbox* mailbox, const ReactorMessage* pattern, u8 match);
void mailbox_subscribe_range(Mailbox* mailbox, const ReactorMessage* first,
                             const ReactorMessage* end, u8 match);
// Delivers the messages that pass the mailbox's filters (at most 1024 per
// call), in their order.
void mailbox_post(Mailbox* mailbox, const ReactorMessage* first, const ReactorMessage* end);
void reactor_broadcast(MessageBus* bus, const ReactorMessage* message);
void reactor_broadcast_range(MessageBus* bus, const ReactorMessage* first,
                             const ReactorMessage* end);
// Moves the pending messages to out, waiting once first when there are none
// (4294967295 milliseconds waits without end). Empty after a time-out.
void mailbox_wait(Mailbox* mailbox, ZuArray<ReactorMessage>* out, u32 milliseconds);
void mailbox_poll(Mailbox* mailbox, ZuArray<ReactorMessage>* out);
bool message_filter_matches(const MessageFilter* filter, const ReactorMessage* message);

constexpr u32 kMailboxWaitForever = 4294967295u;
