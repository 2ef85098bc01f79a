#!/usr/bin/env bash
# Prints per movie the median time to draw one frame at the stage size and at 1920x1080, and the
# peak memory of the run. Usage: scripts/bench_render.sh [CORPUS] (default ../shared/corpus).
# VISTREL_BUILD names the build folder (default build); BENCH_REPEAT the draws per median (9).
set -uo pipefail
cd "$(dirname "$0")/.."
corpus="${1:-../shared/corpus}"
build="${VISTREL_BUILD:-build}"
tool="${VISTREL_TOOL:-$build/bin/vistrel-tool}"
repeat="${BENCH_REPEAT:-9}"
if [ ! -d "$corpus" ]; then
    echo "bench: no corpus at $corpus"
    exit 0
fi
[ -x "$tool" ] || { echo "bench: $tool is missing; build vistrel-tool first" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Peak resident memory of a command in KiB, through GNU time when present.
peak() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f '%M' -o "$work/mem" "$@" >"$work/out" 2>/dev/null
        cat "$work/mem" 2>/dev/null | tail -1
    else
        "$@" >"$work/out" 2>/dev/null
        echo "?"
    fi
}

printf '%-60s %12s %12s %12s\n' movie "stage_ms" "1080p_ms" "peak_KiB"
for swf in "$corpus"/*/movie.swf; do
    name="$(basename "$(dirname "$swf")")"
    mem="$(peak "$tool" render --time "$repeat" "$swf" "$work/a.png")"
    stage="$(awk '/median_ms/ {print $2}' "$work/out")"
    peak "$tool" render --time "$repeat" --size 1920x1080 "$swf" "$work/b.png" >/dev/null
    hd="$(awk '/median_ms/ {print $2}' "$work/out")"
    printf '%-60s %12s %12s %12s\n' "$name" "${stage:-fail}" "${hd:-fail}" "${mem:-?}"
done
