#!/usr/bin/env bash
# Renders the reference frames of the real-world movie set (refs.tsv: movie, frames, image; the movie's
# file from manifest.tsv) and compares them with the expected images as scripts/conformance.sh does:
# per image the share of pixels whose channels all differ by at most 16, a match at 99 % or more. Ends
# with `realworld: M of N frames match` and the mean share. Usage: scripts/realworld.sh [FOLDER]
# (default ../shared/realworld). VISTREL_BUILD names the build folder (default build).
set -uo pipefail
cd "$(dirname "$0")/.."
set_dir="${1:-../shared/realworld}"
build="${VISTREL_BUILD:-build}"
tool="${VISTREL_TOOL:-$build/bin/vistrel-tool}"
compare="${VISTREL_COMPARE:-$build/bin/vistrel-compare}"
if [ ! -f "$set_dir/refs.tsv" ]; then
    echo "realworld: no movies at $set_dir"
    exit 0
fi
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
declare -A files
while IFS=$'\t' read -r movie file rest; do
    [ "$movie" = "movie" ] && continue
    files["$movie"]="$file"
done <"$set_dir/manifest.tsv"
total=0; matched=0; sum=0
while IFS=$'\t' read -r movie frames image; do
    [ "$movie" = "movie" ] && continue
    [ -z "$movie" ] && continue
    out="$work/${movie}__${image}"
    share=0
    if timeout 120 "$tool" render --frames "$frames" "$set_dir/$movie/${files[$movie]}" "$out" 2>/dev/null; then
        share="$("$compare" "$out" "$set_dir/$movie/$image" 16 2>/dev/null | awk '{print $1}')"
        [ -z "$share" ] && share=0
    fi
    total=$((total + 1))
    verdict="$(awk -v s="$share" 'BEGIN { print (s >= 0.99) ? "match" : "MISMATCH" }')"
    [ "$verdict" = "match" ] && matched=$((matched + 1))
    sum="$(awk -v a="$sum" -v s="$share" 'BEGIN { print a + s }')"
    printf '%-8s %6.2f%%  %s %s\n' "$verdict" "$(awk -v s="$share" 'BEGIN { print s * 100 }')" "$movie" "$image"
done <"$set_dir/refs.tsv"
echo "realworld: $matched of $total frames match (mean share $(awk -v a="$sum" -v n="$total" 'BEGIN { printf "%.2f", n ? a / n * 100 : 0 }') %)"
