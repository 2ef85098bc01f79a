#!/usr/bin/env bash
# Builds Vistrel with its tests and runs the whole suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh "$@"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300
