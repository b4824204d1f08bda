// SPDX-License-Identifier: Zlib
#include "module_pointers.h"

BcgenBitcodeCreate bcgen_bitcode_create;
BcgenBitcodeDestroy bcgen_bitcode_destroy;
BcgenBitcodeGetData bcgen_bitcode_get_data;

BcexeCreate bcexe_bcexe_create;
BcexeDestroy bcexe_bcexe_destroy;
BcexeLoadBitcode bcexe_bcexe_load_bitcode;
BcexeLoadBitcodes bcexe_bcexe_load_bitcodes;
BcexeGetFunction bcexe_bcexe_get_function;

TaskFunction task_task_manager_create;
TaskFunction task_task_manager_destroy;
TaskFunction task_graph_create;
TaskFunction task_graph_destroy;
TaskFunction task_graph_execute;
TaskFunction task_graph_execute_linear;
TaskFunction task_graph_execute_one;
TaskFunction task_graph_execute_single_threaded_and_wait;
TaskFunction task_graph_wait;
TaskFunction task_graph_increment_linear;

#define ZU_FILL(library, slot) slot = (decltype(slot))shared_shared_load_function(library, #slot)

void initialize_pointers_bcgen(ZuShared* library) {
  ZU_FILL(library, bcgen_bitcode_create);
  ZU_FILL(library, bcgen_bitcode_destroy);
  ZU_FILL(library, bcgen_bitcode_get_data);
}

void initialize_pointers_bcexe(ZuShared* library) {
  ZU_FILL(library, bcexe_bcexe_create);
  ZU_FILL(library, bcexe_bcexe_destroy);
  ZU_FILL(library, bcexe_bcexe_load_bitcode);
  ZU_FILL(library, bcexe_bcexe_load_bitcodes);
  ZU_FILL(library, bcexe_bcexe_get_function);
}

void initialize_pointers_task(ZuShared* library) {
  ZU_FILL(library, task_task_manager_create);
  ZU_FILL(library, task_task_manager_destroy);
  ZU_FILL(library, task_graph_create);
  ZU_FILL(library, task_graph_destroy);
  ZU_FILL(library, task_graph_execute);
  ZU_FILL(library, task_graph_execute_linear);
  ZU_FILL(library, task_graph_execute_one);
  ZU_FILL(library, task_graph_execute_single_threaded_and_wait);
  ZU_FILL(library, task_graph_wait);
  ZU_FILL(library, task_graph_increment_linear);
}
