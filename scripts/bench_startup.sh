#!/usr/bin/env bash
# Prints the time from process start to the main window shown with the start-up movie's first
# frame painted, and beside it the time an empty Qt main window takes to its first paint in the same
# run (vistrel-bare-window): the medians of several runs, taken in turns, and their ratio. Each viewer
# run starts from a fresh program folder without settings.
# Usage: scripts/bench_startup.sh [RUNS]   (needs a built build/bin and Xvfb or a display)
# VISTREL_STARTUP_TRACE=1 also prints where the viewer's start-up time went, for the last run.
# VISTREL_STARTUP_BASELINE=/path/to/another/vistrel also times that build in the same runs (before/after).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
bin="$PWD/build/bin"
[ -x "$bin/vistrel" ] || { echo "build/bin/vistrel is missing; run scripts/build.sh first" >&2; exit 1; }
[ -x "$bin/vistrel-bare-window" ] || { echo "build/bin/vistrel-bare-window is missing; build it" >&2; exit 1; }

source scripts/xvfb.sh

median() { sort -n | awk '{a[NR]=$1} END {if (NR == 0) print ""; else print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

viewer=()
bare=()
baseline=()
baseline_bin=${VISTREL_STARTUP_BASELINE:-}
trace=""
for ((i = 0; i < runs; i++)); do
    # The yardstick first, then the viewer, so both see the same load on the machine.
    start=$(date +%s%N)
    ms=$(VISTREL_STARTUP_PROBE=$start timeout 60 "$bin/vistrel-bare-window" 2>/dev/null | awk '/first-frame-ms/ {print $2}')
    [ -n "$ms" ] && bare+=("$ms")
    bare_ms=${ms:-failed}

    folder=$(mktemp -d)
    cp -r "$bin"/. "$folder"/
    rm -f "$folder/vistrel.ini"
    printf '[Config]\nLF=English.lng\n' > "$folder/vistrel.ini"
    start=$(date +%s%N)
    out=$(cd "$folder" && VISTREL_STARTUP_PROBE=$start timeout 60 ./vistrel 2>/dev/null || true)
    rm -rf "$folder"
    ms=$(awk '/first-frame-ms/ {print $2}' <<<"$out")
    [ -n "$ms" ] && viewer+=("$ms")
    [ -n "${VISTREL_STARTUP_TRACE:-}" ] && trace=$(grep '^startup ' <<<"$out" || true)
    base_ms=""
    if [ -n "$baseline_bin" ]; then
        folder=$(mktemp -d)
        cp -r "$bin"/. "$folder"/
        cp "$baseline_bin" "$folder/vistrel"
        printf '[Config]\nLF=English.lng\n' > "$folder/vistrel.ini"
        start=$(date +%s%N)
        base_ms=$(cd "$folder" && VISTREL_STARTUP_PROBE=$start timeout 60 ./vistrel 2>/dev/null | awk '/first-frame-ms/ {print $2}' || true)
        rm -rf "$folder"
        [ -n "$base_ms" ] && baseline+=("$base_ms")
        base_ms=", baseline ${base_ms:-failed} ms"
    fi
    echo "run $((i + 1)): viewer ${ms:-failed} ms, bare window ${bare_ms} ms${base_ms}"
done
[ ${#viewer[@]} -gt 0 ] || { echo "no viewer run painted a frame" >&2; exit 1; }
[ ${#bare[@]} -gt 0 ] || { echo "no bare window run painted" >&2; exit 1; }
[ -n "$trace" ] && printf '%s\n' "$trace"
viewer_median=$(printf '%s\n' "${viewer[@]}" | median)
bare_median=$(printf '%s\n' "${bare[@]}" | median)
echo "start-up to first frame: median ${viewer_median} ms over ${#viewer[@]} runs"
echo "bare Qt window to first paint: median ${bare_median} ms over ${#bare[@]} runs"
awk -v v="$viewer_median" -v b="$bare_median" 'BEGIN {printf "ratio viewer / bare window: %.2f (target at most 1.30)\n", v / b}'
if [ ${#baseline[@]} -gt 0 ]; then
    baseline_median=$(printf '%s\n' "${baseline[@]}" | median)
    echo "baseline build: median ${baseline_median} ms over ${#baseline[@]} runs"
    awk -v v="$baseline_median" -v b="$bare_median" 'BEGIN {printf "ratio baseline / bare window: %.2f\n", v / b}'
fi
