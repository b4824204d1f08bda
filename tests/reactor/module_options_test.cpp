// SPDX-License-Identifier: Zlib
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include "command_option.h"
#include "reactor.h"
#include "test_support.h"

namespace {
typedef CommandOption* (*OptionFunction)(void);
typedef const char* (*ValueFunction)(void);

template <class T>
T symbol(void* library, const char* name) {
  return (T)dlsym(library, name);
}
}  // namespace

TEST(ModuleOptions, ModulesKeepSeparateRegistriesUntilTheJoinAndShareValuesAfter) {
  // Opened by hand, without shared_init: the module's registry is its own.
  std::string path = std::string(filesystem_get_exe_dir()) + "mod_opts_1.x86_64";
  void* raw = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(raw, nullptr) << dlerror();
  CommandOption* own_head = symbol<OptionFunction>(raw, "module_option_head")();
  EXPECT_NE(own_head, command_option_head());
  EXPECT_EQ(command_option_find("shared-option"), nullptr);
  bool module_has_its_own_arg_file = false;
  for (CommandOption* option = own_head; option; option = option->next)
    if (strcmp(option->long_name, "arg-file") == 0)
      module_has_its_own_arg_file = option != command_option_find("arg-file");
  EXPECT_TRUE(module_has_its_own_arg_file);

  // Unloaded modules leave their records in the list; cut them off after.
  CommandOption* tail = command_option_head();
  while (tail->next) tail = tail->next;

  HostContext host;
  reactor_create(&host);
  zu_set_host(&host);
  char program[] = "tov", option[] = "--shared-option", value[] = "one value";
  char* argv[] = {program, option, value};
  sys_set_argc_argv(3, argv);
  ASSERT_TRUE(reactor_load_library(&host.libraries, "mod_opts_1", 0));
  ASSERT_TRUE(reactor_load_library(&host.libraries, "mod_opts_2", 0));
  void* first = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  void* second = dlopen((std::string(filesystem_get_exe_dir()) + "mod_opts_2.x86_64").c_str(),
                        RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  // After the join both modules and the host see one list and one record.
  EXPECT_EQ(symbol<OptionFunction>(first, "module_option_head")(), command_option_head());
  EXPECT_EQ(symbol<OptionFunction>(second, "module_option_head")(), command_option_head());
  CommandOption* shared = command_option_find("shared-option");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(symbol<OptionFunction>(first, "module_shared_option")(), shared);
  EXPECT_EQ(symbol<OptionFunction>(second, "module_shared_option")(), shared);
  EXPECT_STREQ(symbol<ValueFunction>(first, "module_shared_value")(), "one value");
  EXPECT_STREQ(symbol<ValueFunction>(second, "module_shared_value")(), "one value");
  u32 records = 0;
  for (CommandOption* at = command_option_head(); at; at = at->next)
    if (strcmp(at->long_name, "shared-option") == 0 || strcmp(at->long_name, "arg-file") == 0)
      ++records;
  EXPECT_EQ(records, 2u);  // one each, no duplicates from the modules
  dlclose(first);
  dlclose(second);
  dlclose(raw);

  sys_set_argc_argv(0, nullptr);
  reactor_destroy(&host);
  zu_set_host(nullptr);
  for (CommandOption* added = tail->next; added;) {
    CommandOption* next = added->next;
    command_option_values_free(added->values);
    sys_free(added);
    added = next;
  }
  tail->next = nullptr;
}
