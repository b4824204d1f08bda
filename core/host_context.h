// SPDX-License-Identifier: Zlib
// The state that the host executable and every module of a process share:
// the engine's reactor. The host creates it before it loads any module; each
// module receives it through shared_init and keeps it in its host pointer.
#pragma once

#include "zu_array.h"
#include "zu_string.h"
#include "zu_sys.h"

struct CommandOption;

// A fixed-size message: the high 16 bits of id are the channel code, the low
// 16 bits number the message within its channel.
struct ReactorMessage {
  u32 id;
  alignas(8) u8 payload[128];
};
static_assert(sizeof(ReactorMessage) == 136, "messages travel by value in arrays");

// match bit 0: the whole id must be equal (else only the channel);
// bit 1: the payload must be equal too.
struct MessageFilter {
  ReactorMessage pattern;
  u8 match;
};

struct Mailbox {
  ZuMutex* lock;
  ZuArray<MessageFilter> filters;
  ZuArray<ReactorMessage> pending;  // oldest first
  ZuCond* signal;
};

struct MessageBus {
  ZuMutex* lock;
  ZuTls* slot;  // the calling thread's mailbox
  ZuArray<Mailbox*> mailboxes;
};

typedef u32 (*HostEntry)(u32 argument, void* data);

// An argument file as this process read it, for the parse each module
// runs: its bytes, and its arguments as split for one kind of file, which
// serve while the file holds the same bytes. A file that cannot be read
// twice (a pipe, /dev/stdin) is read once, and its bytes serve every kind.
struct KeptArgumentFile {
  ZuString path;
  u32 kind;
  char* bytes;
  u64 size;
  char* text;  // split in place; the arguments point into it
  ZuArray<char*> arguments;
};

struct HostContext {
  const char* module_name;  // the application the host runs
  MessageBus bus;
  ZuArray<ZuShared*> libraries;  // in load order
  ZuArray<ZuThread*> threads;    // workers, in creation order
  u64 next_processor;
  HostEntry entry;
  ZuMutex* thread_lock;  // guards threads and next_processor
  ZuAtomic* created;
  ZuAtomic* started;
  ZuAtomic* running;
  ZuMutex* option_lock;    // re-entrant; guards the option registry
  u8 parse_command_line;   // 1 until the run begins
  // The working-dir value the process already changed into, so that the
  // parse each module runs does not descend into a relative folder again.
  ZuString applied_working_dir;
  ZuArray<KeptArgumentFile> kept_argument_files;
};

// Frees the kept argument files (with the host context).
void host_context_release_argument_files(HostContext* host);

// What shared_init receives and the loader hands to every library it
// creates.
struct ZuContextPair {
  HostContext* host;
  CommandOption* options;  // head of the host's option registry
};

// The module's host pointer: null until shared_init stores it.
HostContext* zu_host(void);
void zu_set_host(HostContext* host);
