// SPDX-License-Identifier: Zlib
// Steps of a build generated with --tov-cache: the runner hands each one
// to the cache (see cached_step.cpp).
#pragma once

#include "step_key.h"

// Whether this step was given a cache (--tov-cache).
bool cache_requested(void);

// Runs the step named name through the cache: run(argument) runs its
// command for real on a miss (or when the cache cannot be reached).
// Returns the step's status. The archive step also prints the build's
// counts of hits and misses.
u32 cached_step_run(const char* name, const StepPlace* place, u32 (*run)(void*), void* argument);
