#!/usr/bin/env bash
# Measures drawing cost on the real-world movie set: runs `vistrel-tool bench` on every movie and prints
# per movie the median and 95th-percentile draw time as a share of its frame budget, its peak memory, and
# at the end how many movies keep their p95 within half the budget and their median within a tenth.
# Usage: scripts/bench_realworld.sh [--size WxH | --own-size] [--frames N] [FOLDER]
# (default 1920x1080, 120 frames, ../shared/realworld). VISTREL_BUILD names the build folder.
set -uo pipefail
cd "$(dirname "$0")/.."
size_args=(--size 1920x1080)
frames=120
set_dir=../shared/realworld
while [ $# -gt 0 ]; do
    case "$1" in
        --size) size_args=(--size "$2"); shift 2 ;;
        --own-size) size_args=(); shift ;;
        --frames) frames="$2"; shift 2 ;;
        *) set_dir="$1"; shift ;;
    esac
done
build="${VISTREL_BUILD:-build}"
tool="${VISTREL_TOOL:-$build/bin/vistrel-tool}"
if [ ! -f "$set_dir/manifest.tsv" ]; then
    echo "bench: no movies at $set_dir"
    exit 0
fi
export QT_QPA_PLATFORM=offscreen
total=0; within=0
printf '%-60s %8s %8s %8s %8s\n' movie budget median% p95% rss_mb
while IFS=$'\t' read -r movie file rest; do
    [ "$movie" = "movie" ] && continue
    [ -z "$movie" ] && continue
    out="$(timeout 600 "$tool" bench "${size_args[@]}" --frames "$frames" "$set_dir/$movie/$file" 2>/dev/null)"
    value() { awk -v k="$1" '$1 == k { print $2 }' <<<"$out"; }
    budget="$(value budget_ms)"; median="$(value median_ms)"; p95="$(value p95_ms)"; rss="$(value peak_rss_mb)"
    total=$((total + 1))
    if [ -z "$budget" ]; then
        printf '%-60s %8s\n' "$movie" failed
        continue
    fi
    read -r mshare pshare ok <<<"$(awk -v b="$budget" -v m="$median" -v p="$p95" \
        'BEGIN { printf "%.1f %.1f %d", 100 * m / b, 100 * p / b, (p <= b / 2 && m <= b / 10) }')"
    [ "$ok" = 1 ] && within=$((within + 1))
    printf '%-60s %8.1f %8s %8s %8s\n' "$movie" "$budget" "$mshare" "$pshare" "$rss"
done <"$set_dir/manifest.tsv"
echo "bench: $within of $total movies draw within budget (p95 <= half, median <= a tenth)"
