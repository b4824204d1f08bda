/* SPDX-License-Identifier: Zlib */
/* tov_data.h: what game data written in C or C++ (*.data.cpp, *.data.c)
 * sees when the "cxx" build step compiles and runs it.
 *
 * The step compiles the data file (and the headers of the tree it includes)
 * in process, then calls its entry function, which writes the outputs:
 *
 *     #include <tov_data.h>
 *     #include "game_types.h"      // any header of the tree, by its path
 *
 *     static const Spawn kSpawns[] = {{0, 0, 0, SPAWN_PLAYER}};
 *
 *     extern "C" void tov_compile_data(CommandContext* context, void* user) {
 *       tov_write(context, 0, kSpawns, sizeof(kSpawns));
 *     }
 *
 * The entry is "tov_compile_data" unless --tov-cpp-function names another.
 * Data may call the C library, the functions declared here, and the C++
 * standard library. Headers of earlier archives given to the step with
 * --tov-cxx-headers are found by their names in those archives. ZU_RELEASE
 * is defined as 1.
 */
#ifndef TOV_DATA_H
#define TOV_DATA_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZuFile ZuFile;

typedef struct __attribute__((packed, aligned(4))) TovBytes {
  uint8_t* data;
  uint32_t count;
  uint32_t capacity;
} TovBytes;

typedef struct CommandInput {
  const char* path;
  TovBytes data; /* the input's whole contents */
} CommandInput;

typedef struct CommandOutput {
  const char* path;
  ZuFile* file; /* open for writing */
} CommandOutput;

typedef struct CommandContext {
  CommandInput* inputs;
  uint64_t input_count;
  CommandOutput* outputs; /* the first is the .bin the build expects */
  uint64_t output_count;
  const char* working_dir;
  const char* sdk_dir;
  const char* intermediate_dir;
} CommandContext;

_Static_assert(sizeof(CommandInput) == 24, "the tool's CommandInput layout");
_Static_assert(sizeof(CommandContext) == 56, "the tool's CommandContext layout");

/* From the platform layer. */
uint64_t filesystem_file_write(ZuFile* file, const void* data, uint64_t size);
void* sys_malloc(uint64_t size);
void sys_free(void* block);
int32_t sys_printf(const char* format, ...);
__attribute__((noreturn)) void sys_exit(int32_t code, const char* format, ...);
uint64_t zu_hash(const void* data, uint64_t size);

/* From the tool. */
const char* tov_get_current_build_rule_command(void);

/* Writes size bytes to output index; ends the step when that fails. */
static inline void tov_write(CommandContext* context, uint64_t index, const void* data,
                             uint64_t size) {
  if (index >= context->output_count)
    sys_exit(-1, "ERROR: The data writes output %llu of %llu", (unsigned long long)index,
             (unsigned long long)context->output_count);
  if (filesystem_file_write(context->outputs[index].file, data, size) != size && size != 0)
    sys_exit(-1, "ERROR: Couldn't write '%s'", context->outputs[index].path);
}

#ifdef __cplusplus
}
#endif

#endif
