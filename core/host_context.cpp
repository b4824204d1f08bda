// SPDX-License-Identifier: Zlib
#include "host_context.h"

namespace {
HostContext* g_host;
}  // namespace

HostContext* zu_host(void) { return g_host; }

void zu_set_host(HostContext* host) { g_host = host; }
