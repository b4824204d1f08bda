// The tov executable: creates the reactor, names the application, loads the
// module "tov" (which brings the engine modules it names) and runs its
// entry. Ninja starts it once per build step, so it does nothing more.
#include "command_option.h"
#include "reactor.h"

int main(int argc, char** argv) {
  (void)argv;
  HostContext host;
  reactor_create(&host);
  zu_set_host(&host);
  host.module_name = "tov";
  // A module that fails to load has printed why; the tool runs as long as
  // its own module installed the entry.
  reactor_load_library(&host.libraries, "tov", 0);
  if (!host.entry)
    sys_exit(-1, "ERROR: The module 'tov' did not install an entry (is %stov.x86_64 missing?)",
             filesystem_get_exe_dir());
  u32 result = reactor_run(&host, (u32)argc, nullptr);
  reactor_destroy(&host);
  return (int)result;
}
