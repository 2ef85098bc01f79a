#!/usr/bin/env bash
# Arrow-key browsing: starts the viewer under Xvfb in a folder of many movies, selects the first and
# presses Down through the list (an in-process probe, VISTREL_BROWSE_PROBE), and prints the median
# and the worst time from a key press to the first painted frame of the newly selected movie.
# Usage: scripts/bench_browse.sh [MOVIES [FOLDER...]]
#   MOVIES: how many movies to browse (default 60); FOLDER: where to take them from (default: the
#   shared real-world and corpus movies). The movies are copied to a temporary folder, for measuring only.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-60}
shift || true
sources=("$@")
[ ${#sources[@]} -gt 0 ] || sources=(../shared/realworld ../shared/corpus /work/shared/realworld /work/shared/corpus)
bin="$PWD/build/bin"
[ -x "$bin/vistrel" ] || { echo "build/bin/vistrel is missing; run scripts/build.sh first" >&2; exit 1; }

source scripts/xvfb.sh

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null' EXIT
mkdir -p "$work/program" "$work/movies"
cp -r "$bin"/. "$work/program"/
rm -f "$work/program/vistrel.ini"
printf '[Config]\nLF=English.lng\n' > "$work/program/vistrel.ini"

# Every few movies of the sources in a stable order, so the list mixes small and large ones; the same
# folder reached by two names is listed once.
mapfile -t all < <(for s in "${sources[@]}"; do [ -d "$s" ] && find "$(realpath "$s")" -name '*.swf' -type f; done | sort -u)
[ ${#all[@]} -gt 0 ] || { echo "no movies found in ${sources[*]}" >&2; exit 1; }
step=$(( ${#all[@]} / count )); [ "$step" -ge 1 ] || step=1
n=0
for ((i = 0; i < ${#all[@]} && n < count; i += step)); do
    cp "${all[$i]}" "$work/movies/$(printf '%04d' "$n")_$(basename "${all[$i]}")"
    n=$((n + 1))
done
echo "browsing $n movies ($(du -sh "$work/movies" | cut -f1))"

out=$(cd "$work/program" && VISTREL_BROWSE_PROBE=$((n - 1)) timeout 600 ./vistrel "$work/movies" 2>"$work/stderr" || true)
[ -n "${VISTREL_BROWSE_VERBOSE:-}" ] && { printf "%s\n" "$out"; cat "$work/stderr"; }
mapfile -t times < <(awk '/^browse-ms/ {print $2}' <<<"$out")
grep -q browse-stalled <<<"$out" && echo "the probe stalled after ${#times[@]} presses" >&2
[ ${#times[@]} -gt 0 ] || { echo "no press was measured" >&2; exit 1; }
printf '%s\n' "${times[@]}" | sort -n | awk '
    {a[NR] = $1}
    END {
        median = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2
        p90 = a[int(NR * 0.9 + 0.5) > 0 ? int(NR * 0.9 + 0.5) : 1]
        printf "key press to first frame of the next movie over %d presses: median %.1f ms, 90th percentile %.1f ms, worst %.1f ms\n", NR, median, p90, a[NR]
    }'
echo "slowest:"
awk '/^browse-ms/ {print $2, $3}' <<<"$out" | sort -rn | head -5 | while read -r ms path; do echo "  $ms ms  $(basename "$path") ($(stat -c %s "$path" 2>/dev/null || echo '?') bytes)"; done
