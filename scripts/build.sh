#!/usr/bin/env bash
# Configures and builds Vistrel into build/ (program folder: build/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
generator=()
command -v ninja >/dev/null && [ ! -f build/CMakeCache.txt ] && generator=(-G Ninja)
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build -j"$(nproc)"
