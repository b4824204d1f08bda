#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# The whole cxx step (tool start, loading bcgen and bcexe, compile, JIT,
# run) for a 50-line C and a 50-line C++ data file, next to clang-14
# compiling the same file to bitcode as a process of its own.
# Usage: bench/cxx.sh [build]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
sdk=$(cd "$(dirname "$0")/../sdk" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  echo '#include <tov_data.h>'
  echo 'typedef struct Item { unsigned id; float weight; unsigned value; } Item;'
  for i in $(seq 1 44); do echo "static const Item item_$i = {$i, $i.5f, $((i * 7))};"; done
  echo 'extern void tov_compile_data(CommandContext* c, void* u) {'
  echo '  (void)u; tov_write(c, 0, &item_1, sizeof(item_1)); }'
} > "$work/items.data.c"
{
  echo '#include <tov_data.h>'
  echo '#include <string>'
  echo '#include <vector>'
  echo 'struct Item { std::string name; unsigned value; };'
  echo 'static std::vector<Item> items() { return {'
  for i in $(seq 1 40); do echo "  {\"item_$i\", $i},"; done
  echo '}; }'
  echo 'extern "C" void tov_compile_data(CommandContext* c, void*) {'
  echo '  std::string all; for (const Item& item : items()) all += item.name;'
  echo '  tov_write(c, 0, all.data(), all.size()); }'
} > "$work/items.data.cpp"
step() {
  echo "$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $sdk/ --tov-intermediate-dir i --tov-command cxx --tov-command-in-file $work/$1 --tov-command-out-file $work/$1.bin --tov-command-args \\\\-I$sdk/include"
}
# Alternating runs, medians compared: this machine's neighbours come and go.
rounds=${ROUNDS:-20}
alternate="$(dirname "$0")/alternate.py"
python3 "$alternate" "$rounds" "cxx step (C)" "$(step items.data.c)" \
  "clang-14 (C)" "clang-14 -c -emit-llvm -O2 -I$sdk/include -x c $work/items.data.c -o $work/c.bc"
python3 "$alternate" "$rounds" "cxx step (C++)" "$(step items.data.cpp)" \
  "clang-14 (C++)" "clang-14 -c -emit-llvm -O2 -std=c++20 -I$sdk/include $work/items.data.cpp -o $work/cpp.bc"
for i in 1 2 3; do "$build/bin/llvm_load" "$build/bin"; done
