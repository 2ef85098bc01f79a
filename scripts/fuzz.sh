#!/usr/bin/env bash
# Builds one fuzz target with clang and libFuzzer and runs it for a while, then prints its
# executions per second, coverage and the crashes found.
#
# Usage: scripts/fuzz.sh TARGET SECONDS
#   TARGET: swf_header | movie | profile | lang_pack | avm1
# Environment: VISTREL_FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (parallel workers, default 1).
# The growing corpus is kept in BUILD_DIR/corpus/TARGET beside the committed seeds of
# fuzz/seeds/TARGET; crashing inputs land in BUILD_DIR/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 2 ]; then
    echo "usage: scripts/fuzz.sh TARGET SECONDS   (TARGET: swf_header, movie, profile, lang_pack, avm1)" >&2
    exit 2
fi
target="${1#fuzz_}"
seconds="$2"
case "$target" in
    swf_header) max_len=4096 ;;
    movie) max_len=16384 ;;
    profile) max_len=8192 ;;
    lang_pack) max_len=8192 ;;
    avm1) max_len=4096 ;;
    *) echo "unknown target: $1" >&2; exit 2 ;;
esac
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "SECONDS must be a whole number" >&2; exit 2; }

build_dir="${VISTREL_FUZZ_BUILD_DIR:-build-fuzz}"
jobs="${FUZZ_JOBS:-1}"
root="$(pwd)"

mkdir -p "$build_dir"
build_log="$build_dir/fuzz_build.log"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    CC=clang CXX=clang++ cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVISTREL_FUZZ=ON -DVISTREL_BUILD_TESTS=OFF >"$build_log" 2>&1 || { cat "$build_log" >&2; exit 1; }
fi
cmake --build "$build_dir" --target "fuzz_$target" -j2 >"$build_log" 2>&1 || { cat "$build_log" >&2; exit 1; }

corpus="$build_dir/corpus/$target"
artifacts="$build_dir/artifacts/$target"
log="$build_dir/fuzz_$target.log"
mkdir -p "$corpus" "$artifacts"
marker="$(mktemp)"
trap 'rm -f "$marker"' EXIT

dict=()
[ -f "fuzz/dict/$target.dict" ] && dict=(-dict="$root/fuzz/dict/$target.dict")

# Fork mode goes on after a crash, so one run counts every crash instead of stopping at the first.
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:allocator_may_return_null=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
# The instrumented interpreter's frames are several times their usual size: scripts nested to the
# engine's 256-call limit need more than the usual 8 MiB of stack, which would report the limit's own
# depth as a crash.
ulimit -s 65536 2>/dev/null || ulimit -s unlimited 2>/dev/null || true
set +e
"$build_dir/fuzz/fuzz_$target" "$corpus" "fuzz/seeds/$target" "${dict[@]}" \
    -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1
status=$?
set -e

# Fork mode prints: "#runs: cov: C ft: F corp: N exec/s E oom/timeout/crash: o/t/c time: Ts job: J ...".
last=$(grep -E '^#[0-9]+: cov:' "$log" | tail -n 1 || true)
found=$(find "$artifacts" -type f -newer "$marker")
echo "target:        fuzz_$target"
echo "time:          ${seconds}s, exit status $status, log $log"
if [ -n "$last" ]; then
    echo "executions:    $(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")"
    echo "exec/s:        $(sed -E 's/.*exec\/s:? ([0-9]+).*/\1/' <<<"$last")"
    echo "coverage:      $(sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+).*/\1 edges, \2 features/' <<<"$last")"
    echo "corpus:        $(sed -E 's/.*corp: ([0-9]+).*/\1/' <<<"$last") inputs"
    echo "oom/timeout/crash: $(sed -E 's/.*oom\/timeout\/crash: ([0-9\/]+).*/\1/' <<<"$last")"
else
    echo "no statistics in the log; its end:"
    tail -n 20 "$log"
fi
echo "new artifacts: $(grep -c . <<<"$found" || true) (in $artifacts)"
[ -n "$found" ] && head -n 20 <<<"$found"
exit 0
