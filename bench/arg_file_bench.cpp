// SPDX-License-Identifier: Zlib
// Parsing a line argument file of N paths (what a large build hands the
// catalogue and pack steps) against merely reading and splitting it.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "command_option.h"

ZU_COMMAND_OPTION(g_bench_in, 0, "bench-in-file", "Input file(s)", kOptionMany, kOptionString);

namespace {

std::string make_file(int64_t paths) {
  std::string path = "/tmp/tov_arg_file_bench_" + std::to_string(paths) + ".rsp";
  FILE* file = fopen(path.c_str(), "wb");
  fputs("--bench-in-file\n", file);
  for (int64_t i = 0; i < paths; ++i)
    fprintf(file, "intermediate/assets/level_%03d/texture_%07lld.bin\n", (int)(i % 97),
            (long long)i);
  fclose(file);
  return path;
}

struct Host {
  HostContext context = {};
  Host() {
    context.option_lock = thread_mutex_create();
    zu_set_host(&context);
  }
  ~Host() {
    zu_set_host(nullptr);
    thread_mutex_destroy(context.option_lock);
  }
};

void BM_ParseArgFile(benchmark::State& state) {
  Host host;
  std::string path = make_file(state.range(0));
  char arg_file[] = "--arg-file";
  char* argv[] = {arg_file, path.data()};
  for (auto _ : state) {
    command_option_parse(2, argv, 1);
    if (command_option_count(&g_bench_in) != (u64)state.range(0)) abort();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  unlink(path.c_str());
}

// The floor: read the whole file and split it into lines, as the parser
// must before it looks at any argument.
void BM_ReadAndSplit(benchmark::State& state) {
  std::string path = make_file(state.range(0));
  for (auto _ : state) {
    ZuFile* file = filesystem_file_create(path.c_str(), 0, 0);
    u64 size = filesystem_file_size(file);
    char* buffer = (char*)sys_malloc(size + 1);
    size = filesystem_file_read(file, buffer, size);
    filesystem_file_destroy(file);
    buffer[size] = 0;
    ZuArray<char*> lines = {};
    for (u64 i = 0; i < size; ++i) {
      if (buffer[i] == '\n' || buffer[i] == '\r') buffer[i] = 0;
      else if (i == 0 || buffer[i - 1] == 0) zu_array_push(&lines, buffer + i);
    }
    char** first = lines.data;
    benchmark::DoNotOptimize(first);
    if (lines.count != (u64)state.range(0) + 1) abort();
    zu_array_destroy(&lines);
    sys_free(buffer);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  unlink(path.c_str());
}

}  // namespace

BENCHMARK(BM_ParseArgFile)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndSplit)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
