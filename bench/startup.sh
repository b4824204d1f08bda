#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# Start-to-exit time of the tov host, next to /bin/true, a static and a
# dynamic C++ program, measured in one hyperfine run; then the host against
# /bin/true alone, in alternation, for the rule. With no arguments tov
# loads its modules, runs its entry and ends with its first fatal message.
# Usage: bench/startup.sh [build folder]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/static.cpp" <<'CPP'
#include <cstdio>
int main() { std::puts("x"); return 0; }
CPP
cat > "$work/dynamic.cpp" <<'CPP'
#include <iostream>
#include <string>
int main() { std::string s = "x"; std::cout << s << std::endl; return 0; }
CPP
g++ -O2 -static "$work/static.cpp" -o "$work/static_cpp"
g++ -O2 "$work/dynamic.cpp" -o "$work/dynamic_cpp"

commands=(/bin/true "$work/static_cpp" "$work/dynamic_cpp" "$build/bin/tov")
if "$build/bin/tov" --tov-working-dir / --tov-sdk-dir / --tov-command copy 2>&1 | grep -q "Couldn't find command"; then
  :
else
  # A command-mode copy of a 1 KiB file, next to cp of it.
  head -c 1024 /dev/urandom > "$work/in.bin"
  commands+=("$build/bin/tov --tov-working-dir $work/ --tov-sdk-dir $work/ --tov-intermediate-dir i/ --tov-command copy --tov-command-in-file $work/in.bin --tov-command-out-file $work/out.bin"
             "cp $work/in.bin $work/out_cp.bin")
fi
hyperfine -N --ignore-failure --warmup 20 --runs 500 "${commands[@]}"
# The rule every step is held to: the host within twice /bin/true. Taken
# from starts in alternation: hyperfine runs one command's starts after the
# other's, and a busy neighbour on a shared machine moves that ratio by a
# fifth from one run to the next.
python3 "$(dirname "$0")/alternate.py" --exec 2001 host "$(printf %q "$build/bin/tov")" /bin/true /bin/true
echo "rule: the host within 2x /bin/true"
