// SPDX-License-Identifier: Zlib
// The tov executable: creates the reactor, names the application, loads the
// module "tov" (which brings the engine modules it names) and runs its
// entry. Ninja starts it once per build step, so it does nothing more.
#include "command_option.h"
#include "reactor.h"

namespace {
// Lives until the process ends, with everything the modules hang on it.
HostContext host;
}  // namespace

int main(int argc, char** argv) {
  (void)argv;
  reactor_create(&host);
  zu_set_host(&host);
  host.module_name = "tov";
  // A module that fails to load has printed why; the tool runs as long as
  // its own module installed the entry.
  reactor_load_library(&host.libraries, "tov", 0);
  if (!host.entry)
    sys_exit(-1, "ERROR: The module 'tov' did not install an entry (is %stov.x86_64 missing?)",
             filesystem_get_exe_dir());
  // The process ends right after: unloading the modules first would only
  // cost time and leave their tables unreachable.
  return (int)reactor_run(&host, (u32)argc, nullptr);
}
