#!/usr/bin/env bash
# Runs the trace corpus movies whose names match a pattern and prints match or the first difference.
# Usage: scripts/trace_some.sh PATTERN [CORPUS]. VISTREL_BUILD: build folder (default build).
set -uo pipefail
cd "$(dirname "$0")/.."
pattern="$1"
corpus="${2:-../shared/avm1}"
tool="${VISTREL_BUILD:-build}/bin/vistrel-tool"
export QT_QPA_PLATFORM=offscreen
matched=0; total=0
while IFS=$'\t' read -r movie frames version compare input epsilon; do
    [ "$movie" = "movie" ] && continue
    [[ "$movie" =~ $pattern ]] || continue
    total=$((total + 1))
    args=(trace --frames "$frames")
    [ "$input" = "yes" ] && args+=(--input "$corpus/$movie/input.json")
    out="$(timeout 60 "$tool" "${args[@]}" "$corpus/$movie/movie.swf" 2>/dev/null)"
    if diff <(printf '%s\n' "$out" | sed 's/[[:space:]]*$//' | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}') \
            <(sed 's/\r$//; s/[[:space:]]*$//' "$corpus/$movie/output.txt" | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}') >/dev/null; then
        matched=$((matched + 1))
    else
        first="$(diff <(printf '%s\n' "$out") <(sed 's/\r$//' "$corpus/$movie/output.txt") | head -4 | tr '\n' ' ')"
        echo "  $movie: ${first:0:160}"
    fi
done <"$corpus/manifest.tsv"
echo "$matched of $total match"
