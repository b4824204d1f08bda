// SPDX-License-Identifier: Zlib
// Options this system registers but does not read: the engine's power and
// console switches, and the arguments with which a game store's launcher
// starts an application. Registering them lets such a start parse cleanly.
#include "command_option.h"

ZU_COMMAND_OPTION(g_power_save_dev, 0, "power-save-dev", "Super-power saving mode", kOptionFlag,
                  kOptionNone);
ZU_COMMAND_OPTION(g_console, 'c', "console", "Omit loading of libraries unsuited for console mode",
                  kOptionFlag, kOptionNone);

#define ZU_LAUNCHER_OPTION(name, text, arity, type) \
  ZU_COMMAND_OPTION_EX(name, 0, text, 1, 1, "EOS", arity, type)

ZU_LAUNCHER_OPTION(g_auth_login, "-AUTH_LOGIN=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_auth_password, "-AUTH_PASSWORD=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_auth_type, "-AUTH_TYPE=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_epic_app, "-epicapp=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_epic_env, "-epicenv=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_epic_username, "-epicusername=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_epic_userid, "-epicuserid=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_epic_locale, "-epiclocale=", kOptionOne, kOptionString);
ZU_LAUNCHER_OPTION(g_epic_portal, "-EpicPortal", kOptionFlag, kOptionNone);
ZU_LAUNCHER_OPTION(g_epic_sandbox_id, "-epicsandboxid=", kOptionOne, kOptionString);
