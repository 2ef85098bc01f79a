#!/usr/bin/env bash
# Plays every real-world movie in the viewer, its window filling a 1920x1080 screen (a private Xvfb
# unless DISPLAY is set), for a few seconds each, and prints per movie the frames shown per second
# against the movie's own rate (from the pane's VISTREL_FPS_TRACE lines, the first second left out as
# start-up), the mean and longest paint, then how many movies are shown at their full rate (95 % or
# more of it). Each run starts from a fresh program folder.
# Usage: scripts/bench_viewer_fps.sh [--seconds N] [--only REGEX] [FOLDER]
# (default 6 seconds, ../shared/realworld). VISTREL_BUILD names the build folder; VISTREL_VIEWER
# another viewer binary to run from that folder (to compare builds).
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=6
only=""
set_dir=../shared/realworld
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds="$2"; shift 2 ;;
        --only) only="$2"; shift 2 ;;
        *) set_dir="$1"; shift ;;
    esac
done
set_dir="$(cd "$set_dir" 2>/dev/null && pwd)" || { echo "viewer fps: no movies there"; exit 0; }
[ -f "$set_dir/manifest.tsv" ] || { echo "viewer fps: no movies at $set_dir"; exit 0; }
build="${VISTREL_BUILD:-build}"
[[ "$build" = /* ]] || build="$PWD/$build"
bin="$build/bin"
[ -x "$bin/vistrel" ] || { echo "$bin/vistrel is missing; build it first" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is needed to size the window (apt-get install xdotool)" >&2; exit 1; }

export VISTREL_XVFB_SCREEN=1920x1080x24
source scripts/xvfb.sh
unset QT_QPA_PLATFORM

folder=$(mktemp -d)
trap 'rm -rf "$folder"; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null' EXIT
median() { sort -n | awk '{a[NR]=$1} END {if (NR == 0) print ""; else print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

total=0; full=0
printf '%-58s %6s %7s %6s %8s %8s %10s\n' movie rate shown% fps draw_ms max_ms pane
while IFS=$'\t' read -r movie file frames rate rest; do
    [ "$movie" = "movie" ] && continue
    [ -z "$movie" ] && continue
    [ -n "$only" ] && ! [[ "$movie" =~ $only ]] && continue
    rm -rf "${folder:?}"/*
    cp -r "$bin"/. "$folder"/
    [ -n "${VISTREL_VIEWER:-}" ] && cp "$VISTREL_VIEWER" "$folder/vistrel"
    rm -f "$folder/vistrel.ini"
    printf '[Config]\nLF=English.lng\n' > "$folder/vistrel.ini"
    log="$folder/fps.log"
    # A viewer that could not reach the X server (it happens now and then right after the last one
    # closed) shows no window: it is started once more.
    for attempt in 1 2; do
        (cd "$folder" && VISTREL_FPS_TRACE=1 exec ./vistrel "$set_dir/$movie/$file" >"$log" 2>/dev/null) &
        pid=$!
        # The window fills the screen, as a maximised one would without a window manager.
        window=""
        for ((i = 0; i < 100; i++)); do
            window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n1)
            [ -n "$window" ] && break
            sleep 0.1
        done
        [ -n "$window" ] && xdotool windowmove "$window" 0 0 windowsize "$window" 1920 1080 2>/dev/null
        sleep "$seconds"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        [ -n "$window" ] && break
    done
    total=$((total + 1))
    # The first two reports cover start-up and the resize.
    lines=$(grep '^fps ' "$log" | tail -n +3)
    if [ -z "$lines" ]; then
        printf '%-58s %6s %7s\n' "$movie" "$rate" failed
        continue
    fi
    fps=$(awk '{print $2}' <<<"$lines" | median)
    draw=$(awk '{print $12}' <<<"$lines" | median)
    longest=$(awk '{print $14}' <<<"$lines" | sort -n | tail -n1)
    pane=$(awk '{print $16}' <<<"$lines" | tail -n1)
    read -r share ok <<<"$(awk -v f="$fps" -v r="$rate" 'BEGIN { s = r > 0 ? 100 * f / r : 0; printf "%.1f %d", s, (s >= 95) }')"
    [ "$ok" = 1 ] && full=$((full + 1))
    printf '%-58s %6.1f %7s %6.2f %8s %8s %10s\n' "$movie" "$rate" "$share" "$fps" "$draw" "$longest" "$pane"
done <"$set_dir/manifest.tsv"
echo "viewer fps: $full of $total movies shown at their full rate (95 % or more) at 1920x1080"
