#!/usr/bin/env bash
# Plays every movie of an ActionScript trace corpus with `vistrel-tool trace` and compares what it
# traces with the expected output. Prints one line per mismatch (with its first differing line), the
# mismatches grouped by the first action-script feature their source uses, then
# `trace conformance: M of N movies match` for the movies without input, and the same with input.
# Usage: scripts/trace_conformance.sh [CORPUS] (default ../shared/avm1). VISTREL_BUILD: build folder.
# VISTREL_JOBS: parallel runs (default: processor count).
set -uo pipefail
cd "$(dirname "$0")/.."
corpus="${1:-../shared/avm1}"
build="${VISTREL_BUILD:-build}"
tool="${VISTREL_TOOL:-$build/bin/vistrel-tool}"
jobs="${VISTREL_JOBS:-$(nproc)}"
if [ ! -f "$corpus/manifest.tsv" ]; then
    echo "trace conformance: no corpus at $corpus"
    exit 0
fi
if [ ! -x "$tool" ]; then
    echo "trace conformance: $tool is missing; build vistrel-tool first" >&2
    exit 1
fi
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

run_one() {
    local movie="$1" frames="$2" compare="$3" input="$4" epsilon="$5"
    local out="$work/$movie.out" expected="$corpus/$movie/output.txt"
    local args=(trace --frames "$frames")
    [ "$input" = "yes" ] && args+=(--input "$corpus/$movie/input.json")
    timeout 60 "$tool" "${args[@]}" "$corpus/$movie/movie.swf" >"$out" 2>/dev/null
    local status=$?
    local verdict
    verdict="$(python3 - "$out" "$expected" "$compare" "$epsilon" <<'PY'
import re, sys
out, exp, compare, eps = sys.argv[1:5]
def lines(p):
    try:
        t = open(p, encoding='utf-8', errors='replace').read()
    except OSError:
        return []
    t = t.replace('\r\n', '\n')
    ls = [l.rstrip() for l in t.split('\n')]
    while ls and ls[-1] == '':
        ls.pop()
    return ls
a, b = lines(out), lines(exp)
num = re.compile(r'-?\d+(?:\.\d+)?(?:e[+-]?\d+)?')
def same(x, y):
    if x == y:
        return True
    if compare != 'approx':
        return False
    e = float(eps) if eps not in ('-', '') else 0.0
    xs, ys = num.split(x), num.split(y)
    if xs != ys:
        return False
    for p, q in zip(num.findall(x), num.findall(y)):
        if abs(float(p) - float(q)) > e:
            return False
    return True
for i in range(max(len(a), len(b))):
    x = a[i] if i < len(a) else '<end>'
    y = b[i] if i < len(b) else '<end>'
    if not same(x, y):
        print('MISMATCH line %d: got %r expected %r' % (i + 1, x[:80], y[:80]))
        break
else:
    print('match')
PY
)"
    [ $status -eq 124 ] && verdict="MISMATCH timeout"
    [ $status -gt 128 ] && verdict="MISMATCH crash (status $status)"
    printf '%s\t%s\t%s\n' "$movie" "$input" "$verdict" >"$work/$movie.verdict"
}
export -f run_one
export work corpus tool

tail -n +2 "$corpus/manifest.tsv" | while IFS=$'\t' read -r movie frames version compare input epsilon; do
    [ -z "$movie" ] && continue
    printf '%s\0%s\0%s\0%s\0%s\0' "$movie" "$frames" "$compare" "$input" "$epsilon"
done | xargs -0 -n 5 -P "$jobs" bash -c 'run_one "$@"' _

cat "$work"/*.verdict | sort >"$work/all"
grep -v $'\tmatch$' "$work/all" | awk -F'\t' '{ printf "  %s%s: %s\n", $1, ($2 == "yes" ? " (input)" : ""), $3 }'
echo "mismatches by kind:"
grep -v $'\tmatch$' "$work/all" | awk -F'\t' '{
    kind = $3
    if (kind ~ /crash/) kind = "crash"
    else if (kind ~ /timeout/) kind = "timeout"
    else if (kind ~ /got .<end>/) kind = "output stops early"
    else if (kind ~ /expected .<end>/) kind = "output goes on too long"
    else kind = "a line differs"
    count[kind]++
} END { for (k in count) printf "  %4d %s\n", count[k], k }'
total=$(awk -F'\t' '$2 == "no"' "$work/all" | wc -l)
matched=$(awk -F'\t' '$2 == "no" && $3 == "match"' "$work/all" | wc -l)
itotal=$(awk -F'\t' '$2 == "yes"' "$work/all" | wc -l)
imatched=$(awk -F'\t' '$2 == "yes" && $3 == "match"' "$work/all" | wc -l)
echo "trace conformance (with input): $imatched of $itotal movies match"
echo "trace conformance: $matched of $total movies match"
