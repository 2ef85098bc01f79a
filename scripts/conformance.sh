#!/usr/bin/env bash
# Renders every image listed in a corpus manifest with vistrel-tool and compares it with the
# expected PNG. Prints per image the share of pixels whose channels all differ by at most 16; an
# image matches at 99 % or more. Usage: scripts/conformance.sh [CORPUS] (default ../shared/corpus).
# VISTREL_BUILD names the build folder (default build).
# Movies whose images were made while keys and the mouse were played to them replay those events: an
# input.json beside the movie, or the one the trace corpus (VISTREL_TRACE_CORPUS, default
# ../shared/avm1) keeps for the same movie, byte for byte.
set -uo pipefail
cd "$(dirname "$0")/.."
corpus="${1:-../shared/corpus}"
traces="${VISTREL_TRACE_CORPUS:-../shared/avm1}"
build="${VISTREL_BUILD:-build}"
tool="${VISTREL_TOOL:-$build/bin/vistrel-tool}"
compare="${VISTREL_COMPARE:-$build/bin/vistrel-compare}"
if [ ! -f "$corpus/manifest.tsv" ]; then
    echo "conformance: no corpus at $corpus"
    exit 0
fi
for program in "$tool" "$compare"; do
    if [ ! -x "$program" ]; then
        echo "conformance: $program is missing; build vistrel-tool and vistrel-compare first" >&2
        exit 1
    fi
done
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

total=0; matched=0; utotal=0; umatched=0; stotal=0; smatched=0
while IFS=$'\t' read -r movie image frames quality tolerance scripted version signature; do
    [ "$movie" = "movie" ] && continue
    [ -z "$movie" ] && continue
    out="$work/${movie}__${image}"
    input=()
    if [ -f "$corpus/$movie/input.json" ]; then
        input=(--input "$corpus/$movie/input.json")
    elif [ -f "$traces/$movie/input.json" ] && cmp -s "$traces/$movie/movie.swf" "$corpus/$movie/movie.swf"; then
        input=(--input "$traces/$movie/input.json")
    fi
    if timeout 120 "$tool" render --frames "$frames" --quality "$quality" "${input[@]}" "$corpus/$movie/movie.swf" "$out" 2>"$work/err"; then
        share="$("$compare" "$out" "$corpus/$movie/$image" 16 2>/dev/null | awk '{print $1}')"
    else
        share="0"
        echo "  render failed: $(head -c 200 "$work/err")"
    fi
    verdict="$(awk -v s="$share" 'BEGIN { print (s >= 0.99) ? "match" : "MISMATCH" }')"
    percent="$(awk -v s="$share" 'BEGIN { printf "%6.2f", s * 100 }')"
    kind="unscripted"
    [ "$scripted" = "yes" ] && kind="scripted"
    printf '%s %%  %-8s  %-10s  %s/%s (frames %s, %s)\n' "$percent" "$verdict" "$kind" "$movie" "$image" "$frames" "$quality"
    total=$((total + 1))
    if [ "$scripted" = "yes" ]; then stotal=$((stotal + 1)); else utotal=$((utotal + 1)); fi
    if [ "$verdict" = "match" ]; then
        matched=$((matched + 1))
        if [ "$scripted" = "yes" ]; then smatched=$((smatched + 1)); else umatched=$((umatched + 1)); fi
    fi
done < "$corpus/manifest.tsv"

echo "conformance (scripted): $smatched of $stotal images match"
echo "conformance (unscripted): $umatched of $utotal images match"
echo "conformance: $matched of $total images match"
