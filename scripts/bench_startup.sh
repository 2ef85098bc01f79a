#!/usr/bin/env bash
# Prints the time from process start to the main window shown with the start-up movie's first
# frame painted, and beside it the time an empty Qt main window takes to its first paint in the same
# run (vistrel-bare-window): the medians of several runs, taken in turns, and their ratio. Each viewer
# run starts from a fresh program folder without settings. Beside the clock, the processor time both used
# until that paint (main thread, all threads): on a busy machine the clock mostly measures the other programs.
# Usage: scripts/bench_startup.sh [RUNS]   (needs a built build/bin and Xvfb or a display)
# The viewer also says how long its GUI thread was ready to run but waited for a core (the other programs
# and its own helper threads taking the cores), where the system tells it.
# A second yardstick runs in the same turns: the same empty window writing one line of text
# (vistrel-bare-window --text), as any window with text first reads the system's font list and loads a face.
# VISTREL_STARTUP_TRACE=1 also prints where the viewer's start-up time went, for the last run.
# VISTREL_STARTUP_BASELINE=/path/to/another/vistrel also times that build in the same runs (before/after), by the
# clock and by processor time.
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
text=()
viewer_cpu=()
viewer_cpu_all=()
viewer_wait=()
baseline_wait=()
bare_cpu=()
bare_cpu_all=()
baseline=()
baseline_cpu=()
baseline_cpu_all=()
baseline_bin=${VISTREL_STARTUP_BASELINE:-}
trace=""
for ((i = 0; i < runs; i++)); do
    # The yardstick first, then the viewer, so both see the same load on the machine.
    start=$(date +%s%N)
    out=$(VISTREL_STARTUP_PROBE=$start timeout 60 "$bin/vistrel-bare-window" 2>/dev/null || true)
    ms=$(awk '/first-frame-ms/ {print $2}' <<<"$out")
    [ -n "$ms" ] && bare+=("$ms")
    read -r cpu cpu_all < <(awk '/first-frame-cpu-ms/ {print $2, $3}' <<<"$out") || true
    [ -n "${cpu:-}" ] && bare_cpu+=("$cpu") && bare_cpu_all+=("$cpu_all")
    bare_ms=${ms:-failed}
    start=$(date +%s%N)
    out=$(VISTREL_STARTUP_PROBE=$start timeout 60 "$bin/vistrel-bare-window" --text 2>/dev/null || true)
    ms=$(awk '/first-frame-ms/ {print $2}' <<<"$out")
    [ -n "$ms" ] && text+=("$ms")
    text_ms=${ms:-failed}

    folder=$(mktemp -d)
    cp -r "$bin"/. "$folder"/
    rm -f "$folder/vistrel.ini"
    printf '[Config]\nLF=English.lng\n' > "$folder/vistrel.ini"
    start=$(date +%s%N)
    out=$(cd "$folder" && VISTREL_STARTUP_PROBE=$start timeout 60 ./vistrel 2>/dev/null || true)
    rm -rf "$folder"
    ms=$(awk '/first-frame-ms/ {print $2}' <<<"$out")
    [ -n "$ms" ] && viewer+=("$ms")
    read -r cpu cpu_all < <(awk '/first-frame-cpu-ms/ {print $2, $3}' <<<"$out") || true
    [ -n "${cpu:-}" ] && viewer_cpu+=("$cpu") && viewer_cpu_all+=("$cpu_all")
    wait_ms=$(awk '/first-frame-core-wait-ms/ {print $2}' <<<"$out")
    [ -n "$wait_ms" ] && viewer_wait+=("$wait_ms")
    [ -n "${VISTREL_STARTUP_TRACE:-}" ] && trace=$(grep '^startup ' <<<"$out" || true)
    base_ms=""
    if [ -n "$baseline_bin" ]; then
        folder=$(mktemp -d)
        cp -r "$bin"/. "$folder"/
        cp "$baseline_bin" "$folder/vistrel"
        printf '[Config]\nLF=English.lng\n' > "$folder/vistrel.ini"
        start=$(date +%s%N)
        out=$(cd "$folder" && VISTREL_STARTUP_PROBE=$start timeout 60 ./vistrel 2>/dev/null || true)
        rm -rf "$folder"
        base_ms=$(awk '/first-frame-ms/ {print $2}' <<<"$out")
        [ -n "$base_ms" ] && baseline+=("$base_ms")
        read -r cpu cpu_all < <(awk '/first-frame-cpu-ms/ {print $2, $3}' <<<"$out") || true
        [ -n "${cpu:-}" ] && baseline_cpu+=("$cpu") && baseline_cpu_all+=("$cpu_all")
        wait_ms=$(awk '/first-frame-core-wait-ms/ {print $2}' <<<"$out")
        [ -n "$wait_ms" ] && baseline_wait+=("$wait_ms")
        base_ms=", baseline ${base_ms:-failed} ms"
    fi
    echo "run $((i + 1)): viewer ${ms:-failed} ms, bare window ${bare_ms} ms, with a line of text ${text_ms} ms${base_ms}"
done
[ ${#viewer[@]} -gt 0 ] || { echo "no viewer run painted a frame" >&2; exit 1; }
[ ${#bare[@]} -gt 0 ] || { echo "no bare window run painted" >&2; exit 1; }
[ -n "$trace" ] && printf '%s\n' "$trace"
viewer_median=$(printf '%s\n' "${viewer[@]}" | median)
bare_median=$(printf '%s\n' "${bare[@]}" | median)
echo "start-up to first frame: median ${viewer_median} ms over ${#viewer[@]} runs"
echo "bare Qt window to first paint: median ${bare_median} ms over ${#bare[@]} runs"
awk -v v="$viewer_median" -v b="$bare_median" 'BEGIN {printf "ratio viewer / bare window: %.2f (target at most 1.30)\n", v / b}'
if [ ${#text[@]} -gt 0 ]; then
    text_median=$(printf '%s\n' "${text[@]}" | median)
    echo "bare window writing a line of text to first paint: median ${text_median} ms over ${#text[@]} runs"
    awk -v v="$viewer_median" -v t="$text_median" -v b="$bare_median" \
        'BEGIN {printf "ratio viewer / window with text: %.2f; the line of text alone costs the bare window %.2f of its time\n", v / t, t / b - 1}'
fi
if [ ${#viewer_cpu[@]} -gt 0 ] && [ ${#bare_cpu[@]} -gt 0 ]; then
    vc=$(printf '%s\n' "${viewer_cpu[@]}" | median)
    vca=$(printf '%s\n' "${viewer_cpu_all[@]}" | median)
    bc=$(printf '%s\n' "${bare_cpu[@]}" | median)
    bca=$(printf '%s\n' "${bare_cpu_all[@]}" | median)
    echo "processor time to first frame, main thread / all threads: viewer ${vc} / ${vca} ms, bare window ${bc} / ${bca} ms"
    awk -v v="$vc" -v b="$bc" 'BEGIN {printf "ratio of main-thread processor time viewer / bare window: %.2f\n", v / b}'
fi
if [ ${#viewer_wait[@]} -gt 0 ]; then
    echo "viewer's GUI thread waiting for a core until the first frame: median $(printf '%s\n' "${viewer_wait[@]}" | median) ms"
fi
if [ ${#baseline[@]} -gt 0 ]; then
    baseline_median=$(printf '%s\n' "${baseline[@]}" | median)
    echo "baseline build: median ${baseline_median} ms over ${#baseline[@]} runs"
    awk -v v="$baseline_median" -v b="$bare_median" 'BEGIN {printf "ratio baseline / bare window: %.2f\n", v / b}'
    if [ ${#baseline_cpu[@]} -gt 0 ] && [ ${#bare_cpu[@]} -gt 0 ]; then
        blc=$(printf '%s\n' "${baseline_cpu[@]}" | median)
        blca=$(printf '%s\n' "${baseline_cpu_all[@]}" | median)
        echo "baseline processor time to first frame, main thread / all threads: ${blc} / ${blca} ms"
        awk -v v="$blc" -v b="$bc" 'BEGIN {printf "ratio of main-thread processor time baseline / bare window: %.2f\n", v / b}'
    fi
    if [ ${#baseline_wait[@]} -gt 0 ]; then
        echo "baseline's GUI thread waiting for a core until the first frame: median $(printf '%s\n' "${baseline_wait[@]}" | median) ms"
    fi
fi
