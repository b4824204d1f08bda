// Types shared by the game's data sources and its runtime.
#pragma once

typedef struct Spawn {
  float x, y, z;
  unsigned kind;
} Spawn;

enum { SPAWN_PLAYER = 1, SPAWN_ENEMY = 2, SPAWN_PICKUP = 3 };
