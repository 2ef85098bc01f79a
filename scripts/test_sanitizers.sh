#!/usr/bin/env bash
# Builds Vistrel and its tests with AddressSanitizer and UndefinedBehaviorSanitizer in their own
# build folder and runs the whole suite. Any sanitizer report fails the run, including one from a
# process whose exit status a test does not look at: every report is also written to a log file,
# and the run fails when a log exists. Prints how long the build and the tests took.
#
# Usage: scripts/test_sanitizers.sh [extra cmake arguments]
# Environment: VISTREL_ASAN_BUILD_DIR (default build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
bash scripts/setup.sh

build_dir="${VISTREL_ASAN_BUILD_DIR:-build-asan}"
reports="$root/$build_dir/sanitizer-reports"
[[ "$build_dir" = /* ]] && reports="$build_dir/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"

# Set before the build too: test discovery runs each test program once at build time.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1:log_path=$reports/ubsan"
# use_tls=0: the leak checker's stop-the-world scan crashes ("Tracer caught signal 11") on the
# dynamic thread-local blocks of plugins Qt loads at run time, such as the JPEG reader.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0:use_tls=0"
export QT_QPA_PLATFORM=offscreen

generator=()
command -v ninja >/dev/null && [ ! -f "$build_dir/CMakeCache.txt" ] && generator=(-G Ninja)
start=$(date +%s)
# -O1 keeps the instrumented tests quick to run without the compile time of full optimisation.
cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DENABLE_SANITIZERS=ON "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
built=$(date +%s)

status=0
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" --timeout 900 || status=$?
finished=$(date +%s)

echo "sanitizer build: $((built - start)) s, sanitizer tests: $((finished - built)) s"
if compgen -G "$reports/*" >/dev/null; then
    echo "sanitizer reports:"
    for report in "$reports"/*; do
        echo "=== $report"
        cat "$report"
    done
    exit 1
fi
exit "$status"
