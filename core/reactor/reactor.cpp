// SPDX-License-Identifier: Zlib
#include "reactor.h"

#include "command_option.h"

ZU_COMMAND_OPTION(g_threads, 't', "threads", "Sets number of threads in worker pool", kOptionOne,
                  kOptionUint);

void reactor_create(HostContext* host) {
  memset((void*)host, 0, sizeof(*host));
  host->bus.lock = thread_mutex_create();
  host->bus.slot = thread_tls_create();
  host->thread_lock = thread_mutex_create();
  host->created = thread_atomic_create();
  host->started = thread_atomic_create();
  host->running = thread_atomic_create();
  host->option_lock = thread_mutex_create();
  host->parse_command_line = 1;
  reactor_mailbox(&host->bus);  // the creating thread owns the first mailbox
}

void reactor_destroy(HostContext* host) {
  for (u32 i = 0; i < host->threads.count; ++i) thread_thread_join(host->threads.data[i]);
  thread_mutex_destroy(host->option_lock);
  thread_atomic_destroy(host->running);
  thread_atomic_destroy(host->started);
  thread_atomic_destroy(host->created);
  thread_mutex_destroy(host->thread_lock);
  for (u32 i = 0; i < host->threads.count; ++i) thread_thread_destroy(host->threads.data[i]);
  zu_array_destroy(&host->threads);
  reactor_unload_libraries(&host->libraries);
  for (u32 i = 0; i < host->bus.mailboxes.count; ++i) {
    Mailbox* mailbox = host->bus.mailboxes.data[i];
    thread_cond_destroy(mailbox->signal);
    zu_array_destroy(&mailbox->pending);
    zu_array_destroy(&mailbox->filters);
    thread_mutex_destroy(mailbox->lock);
    sys_free(mailbox);
  }
  zu_array_destroy(&host->bus.mailboxes);
  thread_tls_destroy(host->bus.slot);
  thread_mutex_destroy(host->bus.lock);
  zu_string_destroy(&host->applied_working_dir);
  host_context_release_argument_files(host);
}

void reactor_add_thread(HostContext* host, ZuThreadFunction function, void* argument,
                        const char* name) {
  thread_mutex_lock(host->thread_lock);
  thread_atomic_increment(host->created);
  ZuThread* thread = thread_thread_create(function, argument, name, host->next_processor);
  zu_array_push(&host->threads, thread);
  // Workers are spread over the processors in turn.
  host->next_processor = (host->next_processor + 1) % thread_util_hardware_concurrency();
  thread_mutex_unlock(host->thread_lock);
}

void reactor_thread_started(HostContext* host) {
  thread_atomic_increment(host->started);
  while (thread_atomic_get(host->running) == 0) threadlocal_sleep(10);
}

u32 reactor_run(HostContext* host, u32 argument, void* data) {
  while (thread_atomic_get(host->started) < thread_atomic_get(host->created)) threadlocal_sleep(10);
  // Modules loaded from now on read the options already parsed.
  host->parse_command_line = 0;
  thread_atomic_increment(host->running);
  return host->entry ? host->entry(argument, data) : 0;
}

u64 reactor_thread_count_for(u32 hardware_concurrency) {
  if (command_option_is_set(&g_threads)) return command_option_value_uint(&g_threads, 0);
  return hardware_concurrency > 3 ? hardware_concurrency - 2 : 1;
}

u64 reactor_thread_count(void) {
  return reactor_thread_count_for(thread_util_hardware_concurrency());
}
