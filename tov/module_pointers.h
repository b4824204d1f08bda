// SPDX-License-Identifier: Zlib
// The functions this module takes from the engine libraries it works with:
// bcgen (C/C++ to bitcode), bcexe (bitcode executor) and task (task graphs).
// Each slot is filled when the loader cross-links the library with this one,
// and stays null for a function the library lacks.
#pragma once

#include "compile_source.h"

// Compiles the sources into one module of bitcode; null after printing the
// diagnostics when one fails. used[i] is set when headers[i] was read. The
// compilers are freed with the bitcode, on a thread of their own: sources,
// headers and used must outlive it.
typedef void* (*BcgenBitcodeCreate)(const CompileSource* sources, u64 source_count,
                                    const CompileSource* headers, u64 header_count,
                                    const char* const* flags, u64 flag_count, u8* used);
typedef void (*BcgenBitcodeDestroy)(void* bitcode);
// Returns the size of the bitcode and stores its bytes in *data.
typedef u64 (*BcgenBitcodeGetData)(void* bitcode, const void** data);

typedef void* (*BcexeCreate)(void);
typedef void (*BcexeDestroy)(void* executor);
typedef bool (*BcexeLoadBitcode)(void* executor, const void* data, u64 size, const char* name,
                                 u32 flags);
typedef bool (*BcexeLoadBitcodes)(void* executor, const void* const* data, const u64* sizes,
                                  u64 count, const char* name, u32 flags);
typedef void* (*BcexeGetFunction)(void* executor, const char* name);

// No caller in this module yet: the task library's slots are kept opaque.
typedef void (*TaskFunction)(void);

extern BcgenBitcodeCreate bcgen_bitcode_create;
extern BcgenBitcodeDestroy bcgen_bitcode_destroy;
extern BcgenBitcodeGetData bcgen_bitcode_get_data;

extern BcexeCreate bcexe_bcexe_create;
extern BcexeDestroy bcexe_bcexe_destroy;
extern BcexeLoadBitcode bcexe_bcexe_load_bitcode;
extern BcexeLoadBitcodes bcexe_bcexe_load_bitcodes;
extern BcexeGetFunction bcexe_bcexe_get_function;

extern TaskFunction task_task_manager_create;
extern TaskFunction task_task_manager_destroy;
extern TaskFunction task_graph_create;
extern TaskFunction task_graph_destroy;
extern TaskFunction task_graph_execute;
extern TaskFunction task_graph_execute_linear;
extern TaskFunction task_graph_execute_one;
extern TaskFunction task_graph_execute_single_threaded_and_wait;
extern TaskFunction task_graph_wait;
extern TaskFunction task_graph_increment_linear;

extern "C" {
ZU_EXPORT void initialize_pointers_bcgen(ZuShared* library);
ZU_EXPORT void initialize_pointers_bcexe(ZuShared* library);
ZU_EXPORT void initialize_pointers_task(ZuShared* library);
}
