#!/usr/bin/env bash
# Kills the viewer with SIGKILL at random moments around its save at exit, many times, and checks
# after each kill that vistrel.ini is either the old file or the new one, whole. Prints the number
# of trials, how many kills landed after the save had started, and how many files were damaged.
#
# Usage: scripts/kill_mid_save.sh [TRIALS] [PROGRAM]
#   TRIALS  default 300; PROGRAM default build/bin/vistrel (its folder supplies swfinfo.dat and
#   Language/). Runs headless (QT_QPA_PLATFORM=offscreen); no display is needed.
# The viewer is made to end by itself: VISTREL_STARTUP_PROBE makes it quit as soon as it has
# drawn its first frame, and the main window saves the settings as it goes, exactly as after
# File > Quit. The settings file holds 256 favorites with long names and a large section of
# someone else's, so the save takes long enough to be hit.
set -euo pipefail
cd "$(dirname "$0")/.."

trials="${1:-300}"
program="$(realpath "${2:-build/bin/vistrel}")"
[ -x "$program" ] || { echo "no viewer at $program; build it first (scripts/build.sh)" >&2; exit 2; }
bin_dir="$(dirname "$program")"
# The quit comes after the first frame of the start-up movie, so the movie must be there.
[ -f "$bin_dir/swfinfo.dat" ] || { echo "no swfinfo.dat beside $program; build the whole program folder" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
base="$work/program"
mkdir -p "$base"
[ -f "$bin_dir/swfinfo.dat" ] && cp "$bin_dir/swfinfo.dat" "$base/"
[ -d "$bin_dir/Language" ] && cp -r "$bin_dir/Language" "$base/"

# The old file: written by hand, so every save changes it (blanks around "=", keys in lower case).
python3 - "$base/vistrel.ini.old" <<'PY'
import sys
lines = ["; settings written by hand", "[Config]", "rs = 1", "rc = 1", "rd = 0", "sh = 1", "si = 1",
         "sd = /tmp", "lf = English.lng", "[Position]", "x = 20", "y = 30", "w = 800", "h = 600",
         "p1 = 180", "p2 = 220", "[Favorites]"]
for i in range(256):
    lines.append(f"n{i} = Favorite number {i} " + "n" * 300)
    lines.append(f"a{i} = /srv/movies/folder/{i}/" + "a" * 300)
lines.append("[Other program]")
lines += [f"key{i} = value {i} " + "v" * 100 for i in range(2000)]
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="*.debug=false"

# Runs the viewer in the program folder and kills it after `delay` seconds (a whole run is given
# a minute, and fails the script if it needs longer).
run_viewer() {
    local delay="$1"
    cp "$base/vistrel.ini.old" "$base/vistrel.ini"
    (cd "$base" && exec env VISTREL_STARTUP_PROBE="$(date +%s%N)" "$program" >"$work/out" 2>/dev/null) &
    local pid=$!
    if [ -n "$delay" ]; then
        sleep "$delay"
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        return 0
    fi
    local waited=0
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.1
        waited=$((waited + 1))
        if ((waited > 600)); then
            kill -KILL "$pid" 2>/dev/null || true
            echo "the viewer did not end by itself within a minute" >&2
            exit 1
        fi
    done
    wait "$pid" 2>/dev/null || true
}

# A few whole runs give the new file, how long a run takes and when the quit begins (the probe
# prints the time of the first frame, after which the window closes and the save follows).
total=0
quit_total=0
for i in 1 2 3; do
    start=$(date +%s%N)
    run_viewer ""
    total=$((total + $(date +%s%N) - start))
    quit_ms=$(sed -nE 's/^first-frame-ms ([0-9]+).*/\1/p' "$work/out")
    quit_total=$((quit_total + ${quit_ms:-0}))
    if cmp -s "$base/vistrel.ini" "$base/vistrel.ini.old"; then
        echo "the viewer did not save: is $program a working build?" >&2
        exit 1
    fi
    # Every whole run must write the same file, or "new" could not be told from "damaged".
    if [ -f "$base/vistrel.ini.new" ] && ! cmp -s "$base/vistrel.ini" "$base/vistrel.ini.new"; then
        echo "two whole runs wrote different files; cannot judge the kills" >&2
        exit 1
    fi
    cp "$base/vistrel.ini" "$base/vistrel.ini.new"
done
run_ms=$((total / 3 / 1000000))
quit_ms=$((quit_total / 3))
((quit_ms > 0 && quit_ms < run_ms)) || quit_ms=$((run_ms * 2 / 3))
echo "a whole run takes ${run_ms} ms, the quit begins at about ${quit_ms} ms; old file $(stat -c %s "$base/vistrel.ini.old") bytes, new $(stat -c %s "$base/vistrel.ini.new") bytes"

old=0 new=0 damaged=0 after_quit=0
for ((trial = 1; trial <= trials; ++trial)); do
    # Most kills aim between the quit and the end of a run, where the save happens; some anywhere.
    if ((RANDOM % 4 == 0)); then
        delay_ms=$((RANDOM % (run_ms + 1)))
    else
        delay_ms=$((quit_ms - 20 + RANDOM % (run_ms - quit_ms + 60)))
    fi
    run_viewer "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
    grep -q first-frame-ms "$work/out" && after_quit=$((after_quit + 1))
    if cmp -s "$base/vistrel.ini" "$base/vistrel.ini.old"; then
        old=$((old + 1))
    elif cmp -s "$base/vistrel.ini" "$base/vistrel.ini.new"; then
        new=$((new + 1))
    else
        damaged=$((damaged + 1))
        cp "$base/vistrel.ini" "$work/../vistrel-damaged-$trial.ini" 2>/dev/null || true
        echo "trial $trial: damaged file after a kill at ${delay_ms} ms (kept as $(dirname "$work")/vistrel-damaged-$trial.ini)"
    fi
done
leftovers=$(find "$base" -maxdepth 1 -name 'vistrel.ini?*' ! -name vistrel.ini.old ! -name vistrel.ini.new | wc -l)

echo "trials: $trials"
echo "killed after the quit began (while saving or later): $after_quit"
echo "old file intact: $old, new file whole: $new"
echo "temporary files left beside it: $leftovers"
echo "damaged files: $damaged"
[ "$damaged" -eq 0 ]
