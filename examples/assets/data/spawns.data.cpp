// The spawn points of the first level, written as data: compiled and run at
// build time, it writes data/spawns.bin.
#include <tov_data.h>

#include "../include/game_types.h"
#include "../include/limits.gen.h"

static const Spawn kSpawns[] = {
    {0.0f, 0.0f, 0.0f, SPAWN_PLAYER},
    {4.0f, 0.0f, 2.0f, SPAWN_ENEMY},
    {8.0f, 0.0f, -3.0f, SPAWN_PICKUP},
};
static_assert(sizeof(kSpawns) / sizeof(kSpawns[0]) <= MAX_SPAWNS, "too many spawns");

extern "C" void tov_compile_data(CommandContext* context, void*) {
  tov_write(context, 0, kSpawns, sizeof(kSpawns));
}
