#!/usr/bin/env bash
# Writes movies made to hurt a player (object and bitmap bombs, inflate bombs, deep nesting,
# long outlines, glyph floods, filter storms, absurd declared lengths, cuts, bit flips and
# oversized fields) and opens each with `vistrel-tool info` and `vistrel-tool render`. Prints
# per movie the time and peak memory of each, and a summary of crashes and overruns.
# Usage: scripts/hostile_movies.sh [FOLDER]   (default: a temporary folder)
# VISTREL_BUILD names the build folder (default build); HOSTILE_TIMEOUT the seconds one command
# may take before it counts as hung (default 60).
set -uo pipefail
cd "$(dirname "$0")/.."
build="${VISTREL_BUILD:-build}"
tool="$build/bin/vistrel-tool"
maker="$build/robustness/vistrel_make_hostile_movies"
limit="${HOSTILE_TIMEOUT:-60}"
for program in "$tool" "$maker"; do
    [ -x "$program" ] || { echo "hostile: $program is missing; run scripts/build.sh first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "hostile: GNU time is needed (apt-get install time)" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
folder="${1:-$work/movies}"
"$maker" "$folder" || { echo "hostile: writing the movies failed" >&2; exit 1; }

crashes=0 hangs=0 count=0
worst_time=0 worst_mem=0
# Runs one command under the time limit; prints "seconds peak-MiB status".
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time" timeout -s KILL "$limit" "$@" >/dev/null 2>"$work/err"
    local status=$?
    read -r seconds kib <"$work/time" 2>/dev/null || { seconds="?"; kib=0; }
    # GNU time writes a "Command exited/terminated" line first when the status is not 0.
    [ "$status" -ne 0 ] && read -r seconds kib < <(tail -n 1 "$work/time")
    echo "$seconds $((kib / 1024)) $status"
}
printf '%-28s %10s %8s %6s %10s %8s %6s\n' movie info_s info_MiB exit render_s rend_MiB exit
for movie in "$folder"/*.swf; do
    name=$(basename "$movie")
    read -r is im ist < <(measure "$tool" info "$movie")
    read -r rs rm rst < <(measure "$tool" render --frames 3 "$movie" "$work/out.png")
    printf '%-28s %10s %8s %6s %10s %8s %6s\n' "$name" "$is" "$im" "$ist" "$rs" "$rm" "$rst"
    count=$((count + 1))
    # info exits 1 for a file that is not a movie and render 1 for one it cannot load: both
    # are answers. A signal (128+) or the time limit's kill is not.
    for status in "$ist" "$rst"; do
        if [ "$status" -eq 137 ]; then hangs=$((hangs + 1)); elif [ "$status" -ge 128 ]; then crashes=$((crashes + 1)); fi
    done
    for s in "$is" "$rs"; do
        awk -v a="$s" -v b="$worst_time" 'BEGIN { exit !(a + 0 > b + 0) }' && worst_time=$s
    done
    for m in "$im" "$rm"; do [ "$m" -gt "$worst_mem" ] && worst_mem=$m; done
done
echo "movies: $count, crashes: $crashes, over ${limit}s: $hangs, slowest command: ${worst_time}s, largest peak memory: ${worst_mem} MiB"
