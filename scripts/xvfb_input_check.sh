#!/usr/bin/env bash
# Drives the real viewer under Xvfb: opens a movie written for the check (a button and an input
# field whose scripts trace what happens), moves the pointer onto the button, clicks, clicks into
# the field and types with xdotool, then reads the movie's trace lines (VISTREL_TRACE) and the
# screen back. Prints one line per step and `xvfb input check: PASS` or `... FAIL`; fails non-zero.
# Usage: scripts/xvfb_input_check.sh [BUILD]   (needs Xvfb, xdotool and ImageMagick; KEEP_SHOT=FILE.png
# keeps the last screenshot)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-${VISTREL_BUILD:-build}}
for tool in Xvfb xdotool convert import; do
    command -v "$tool" >/dev/null || { echo "xvfb input check: FAIL ($tool is missing: apt-get install xvfb xdotool imagemagick)"; exit 1; }
done
if [ ! -x "$build/bin/vistrel" ] || [ ! -x "$build/xvfb/make_input_check_movie" ] || [ ! -d "$build/bin/Language" ]; then
    cmake --build "$build" -j2 --target vistrel vistrel_language_packs vistrel_startup_movie make_input_check_movie >/dev/null \
        || { echo "xvfb input check: FAIL (cannot build the viewer in $build)"; exit 1; }
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; wait "${pids[i]}" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
step() {   # step NAME CONDITION-RESULT
    if [ "$2" = 0 ]; then echo "ok    $1"; else echo "FAIL  $1"; failures=$((failures + 1)); fi
}
finish() {
    [ -n "${KEEP_SHOT:-}" ] && cp "$work/shot.png" "$KEEP_SHOT" 2>/dev/null
    if [ "$failures" = 0 ]; then echo "xvfb input check: PASS"; exit 0; fi
    echo "--- trace lines:"; cat "$work/trace.txt" 2>/dev/null
    echo "xvfb input check: FAIL ($failures step(s))"
    exit 1
}

# A program folder of its own: the packs and start-up movie of the build, English chosen (so no
# language box asks first), and no settings of an earlier run.
mkdir -p "$work/program" "$work/home"
cp -r "$build/bin/." "$work/program/"
rm -f "$work/program/vistrel.ini"
printf '[Config]\nLF=English.lng\n' > "$work/program/vistrel.ini"
"$build/xvfb/make_input_check_movie" "$work/input_check.swf" || { echo "xvfb input check: FAIL (no movie written)"; exit 1; }

# Our own X server on a free display number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "xvfb input check: FAIL (Xvfb did not start)"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=xcb

: > "$work/trace.txt"
(cd "$work/program" && VISTREL_TRACE="$work/trace.txt" exec ./vistrel "$work/input_check.swf") >"$work/viewer.log" 2>&1 &
pids+=($!)

traced() { grep -qxF "$1" "$work/trace.txt"; }
wait_trace() {   # wait_trace LINE [TENTHS]
    for _ in $(seq "${2:-50}"); do traced "$1" && return 0; sleep 0.1; done
    return 1
}
shot() { import -window root "$work/shot.png" 2>/dev/null; }
# box COLOUR: "W H X Y" of the screen area in that exact colour, or nothing.
box() {
    convert "$work/shot.png" -fill black +opaque "$1" -fill white -opaque "$1" -trim -format '%w %h %X %Y' info: 2>/dev/null \
        | awk '$1 > 4 && $2 > 4 { gsub(/\+/, ""); print }'
}
# at X Y: the colour of one screen pixel as #RRGGBB.
at() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info: 2>/dev/null | cut -c1-6 | sed 's/^/#/'; }

wait_trace "movie ready" 150; step "the viewer plays the movie (its first frame traced)" $?
button=""
for _ in $(seq 50); do
    shot
    button=$(box '#ff00ff')
    [ -n "$button" ] && break
    xdotool key Return 2>/dev/null   # a message box in front of the movie is answered
    sleep 0.2
done
[ -n "$button" ]; step "the button shows on the screen (up state)" $?
[ -n "$button" ] || finish
read -r bw bh bx by <<<"$button"
cx=$((bx + bw / 2)); cy=$((by + bh / 2))

xdotool mousemove "$cx" "$cy"
wait_trace "button over"; step "pointer over the button runs its roll-over action" $?
sleep 0.3; shot
[ "$(at "$cx" "$cy")" = "#FF8000" ]; step "the button draws its over state" $?

xdotool mousedown 1
wait_trace "button press"; step "pressing runs the press action" $?
sleep 0.3; shot
[ "$(at "$cx" "$cy")" = "#00C000" ]; step "the button draws its down state" $?
xdotool mouseup 1
wait_trace "button release"; step "releasing runs the release action" $?

shot
field=$(box '#00ffff')
[ -n "$field" ]; step "the input field shows on the screen" $?
[ -n "$field" ] || finish
read -r fw fh fx fy <<<"$field"
xdotool mousemove $((fx + fw / 2)) $((fy + fh / 2)) click 1
wait_trace "field focus"; step "clicking the field gives it the focus" $?
xdotool type --delay 60 "hi"
wait_trace "field text: hi"; step "typing reaches the field (onChanged traces its text)" $?
sleep 0.3; shot
# The typed letters are drawn: the field is no longer all background.
dark=$(convert "$work/shot.png" -crop "${fw}x${fh}+${fx}+${fy}" +repage -fill white -opaque '#00ffff' \
       -threshold 50% -format '%[fx:round(w*h*(1-mean))]' info: 2>/dev/null)
[ "${dark:-0}" -gt 10 ]; step "the typed text is drawn in the field" $?

# A click on the left half of the first typed letter puts the caret before it: what is typed next
# goes in front. The letters are found as the dark columns inside the field's border.
inner=$(convert "$work/shot.png" -crop "$((fw - 6))x$((fh - 6))+$((fx + 3))+$((fy + 3))" +repage -fill white -opaque '#00ffff' \
        -threshold 50% -negate -trim -format '%w %h %X %Y' info: 2>/dev/null | tr -d '+')
read -r tw th tx ty <<<"${inner:-0 0 0 0}"
if [ "${tw:-0}" -gt 2 ]; then
    xdotool mousemove $((fx + 3 + tx + 1)) $((fy + 3 + ty + th / 2)) click 1
    sleep 0.3
    xdotool type --delay 60 "X"
    wait_trace "field text: Xhi"; step "clicking inside the typed text moves the caret there" $?
else
    step "the typed letters are found inside the field" 1
fi
finish
