#!/usr/bin/env bash
# Prints the median time of the SWF header reader for an uncompressed movie and a 10 MB compressed
# movie. Usage: scripts/bench_header.sh [BUILD_DIR]   (default: build; built there when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
bench="$build_dir/bench/vistrel_bench_header"
if [ ! -x "$bench" ]; then
    if [ ! -f "$build_dir/CMakeCache.txt" ]; then
        generator=()
        command -v ninja >/dev/null && generator=(-G Ninja)
        cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build_dir" --target vistrel_bench_header -j2 >/dev/null
fi
"$bench"
