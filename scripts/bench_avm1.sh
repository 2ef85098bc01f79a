#!/usr/bin/env bash
# Prints the time per operation of the ActionScript machine on four scripts: a loop of a million
# additions, a recursive fib, string building and an array sort (best of five runs each).
# Usage: scripts/bench_avm1.sh [BUILD_DIR]   (default: build; the benchmark is built there when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
bench="$build_dir/bench/vistrel_bench_avm1"
if [ ! -x "$bench" ]; then
    if [ ! -f "$build_dir/CMakeCache.txt" ]; then
        generator=()
        command -v ninja >/dev/null && generator=(-G Ninja)
        cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build_dir" --target vistrel_bench_avm1 -j2 >/dev/null
fi
QT_QPA_PLATFORM=offscreen "$bench"
