// Rules the game evaluates for spawns; shipped as source for the in-game
// scripting console.
#include "game_types.h"

bool spawn_is_hostile(const Spawn& spawn) { return spawn.kind == SPAWN_ENEMY; }
