#!/usr/bin/env bash
# Prints the time from process start to the main window shown with the start-up movie's first
# frame painted: the median of several runs, each from a fresh program folder without settings.
# Usage: scripts/bench_startup.sh [RUNS]   (needs a built build/bin and Xvfb or a display)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
bin="$PWD/build/bin"
[ -x "$bin/vistrel" ] || { echo "build/bin/vistrel is missing; run scripts/build.sh first" >&2; exit 1; }

cleanup=()
if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null || { echo "no display and no Xvfb (apt-get install xvfb)" >&2; exit 1; }
    Xvfb :97 -screen 0 1280x900x24 >/dev/null 2>&1 &
    cleanup+=($!)
    export DISPLAY=:97
    sleep 1
fi
trap 'for p in "${cleanup[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null; done' EXIT

times=()
for ((i = 0; i < runs; i++)); do
    folder=$(mktemp -d)
    cp -r "$bin"/. "$folder"/
    rm -f "$folder/vistrel.ini"
    printf '[Config]\nLF=English.lng\n' > "$folder/vistrel.ini"
    start=$(date +%s%N)
    ms=$(cd "$folder" && VISTREL_STARTUP_PROBE=$start timeout 60 ./vistrel 2>/dev/null | awk '/first-frame-ms/ {print $2}')
    rm -rf "$folder"
    [ -n "$ms" ] && times+=("$ms")
    echo "run $((i + 1)): ${ms:-failed} ms"
done
[ ${#times[@]} -gt 0 ] || { echo "no run painted a frame" >&2; exit 1; }
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
echo "start-up to first frame: median ${median} ms over ${#times[@]} runs"
