#!/usr/bin/env bash
# The viewer's sound reaching a real sound server: under Xvfb, a private PulseAudio with a null sink is
# started, the viewer plays a movie with stream sound (made here by ffmpeg's SWF writer), the sink's
# monitor is recorded with parec, and the toolbar's Stop button is clicked. Prints when sound arrived, how loud,
# and how long after Stop the recording fell silent; fails when no sound arrived or it ran on more than
# 50 ms past Stop.
# Usage: scripts/sound_null_sink.sh   (VISTREL_BUILD: build folder, default build; needs Xvfb, xdotool,
# pulseaudio and pulseaudio-utils from Debian)
set -uo pipefail
cd "$(dirname "$0")/.."
build="${VISTREL_BUILD:-build}"
viewer="$build/bin/vistrel"
[ -x "$viewer" ] && [ -d "$build/bin/Language" ] || { echo "null sink: build the vistrel and vistrel_language_packs targets first" >&2; exit 2; }
for c in Xvfb xdotool pulseaudio parec pactl ffmpeg python3; do
    command -v "$c" >/dev/null || { echo "null sink: $c is not installed" >&2; exit 2; }
done
work="$(mktemp -d)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display"
# A sound server of our own, reached only through its socket in the work folder.
export PULSE_SERVER="unix:$work/pulse.socket" PULSE_RUNTIME_PATH="$work/pulse" HOME="$work" XDG_CONFIG_HOME="$work/config"
mkdir -p "$work/pulse" "$work/config"
cat >"$work/server.pa" <<EOF
load-module module-null-sink sink_name=recorded rate=44100 channels=2
set-default-sink recorded
load-module module-native-protocol-unix socket=$work/pulse.socket auth-anonymous=1
EOF
pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    2>"$work/pulse.log" &
pids+=($!)
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "null sink: the sound server did not start"; cat "$work/pulse.log"; exit 2; }

movie="$work/tone.swf"
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc=size=160x120:rate=12:duration=20" \
    -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t):s=44100:d=20" -c:v flv -c:a libmp3lame -b:a 128k -shortest "$movie" ||
    { echo "null sink: ffmpeg could not make the movie"; exit 2; }

parec -d recorded.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=5 >"$work/rec.raw" &
pids+=($!)
# The viewer runs from a copy of its folder, where its settings live, set to English.
mkdir -p "$work/app"
cp -r "$build/bin/." "$work/app/"
rm -f "$work/app/vistrel.ini"
printf '[Config]\nLF=English.lng\n' >"$work/app/vistrel.ini"
(cd "$work/app" && exec ./vistrel "$movie") >"$work/viewer.log" 2>&1 &
viewerPid=$!
pids+=($viewerPid)
sleep 4
[ -n "${KEEP:-}" ] && pactl list sink-inputs | grep -E "Corked|Latency|State|Sink:|Volume|Mute" ; command -v import >/dev/null && import -window root "$work/shot.png"
window="$(xdotool search --sync --onlyvisible --pid "$viewerPid" 2>/dev/null | head -1)"
[ -n "$window" ] || { echo "null sink: the viewer's window did not show"; exit 1; }
stopX="${STOP_X:-258}" stopY="${STOP_Y:-33}"
# The toolbar's Stop button (a key press could go to whichever pane has the focus); the pointer is
# brought there first so that the time taken is that of the click alone.
xdotool mousemove --window "$window" "$stopX" "$stopY"
sleep 0.3
stopAt="$(date +%s.%N)"
xdotool click 1
sleep 1.5
[ -n "${KEEP:-}" ] && import -window root "$work/shot2.png"
# The recording is placed on the clock by its end: its last sample is taken as heard when parec is
# stopped. What parec still held then is lost, which can only make the sound seem to end later.
endAt="$(date +%s.%N)"
kill "${pids[-1]}" "${pids[-2]}" 2>/dev/null
wait "${pids[-2]}" 2>/dev/null

python3 - "$work/rec.raw" "$stopAt" "$endAt" <<'EOF'
import struct, sys
raw = open(sys.argv[1], 'rb').read()
stop_at, end_at = float(sys.argv[2]), float(sys.argv[3])
n = len(raw) // 4
samples = struct.unpack('<%dh' % (2 * n), raw[:4 * n])
win = 220   # 5 ms
loud = []
for i in range(0, n - win, win):
    seg = samples[2 * i:2 * (i + win):2]
    loud.append(max(abs(x) for x in seg) > 300)
if not any(loud):
    print("null sink: no sound arrived (%.1f s recorded)" % (n / 44100.0))
    sys.exit(1)
first = loud.index(True) * win / 44100.0
last = (len(loud) - 1 - loud[::-1].index(True) + 1) * win / 44100.0
peak = max(abs(x) for x in samples)
stop = n / 44100.0 - (end_at - stop_at)
after = (last - stop) * 1000
print("null sink: sound arrived %.2f s into the recording (peak %d), Stop at %.2f s, silent %.0f ms after Stop"
      % (first, peak, stop, after))
sys.exit(0 if first < stop and after <= 50 else 1)
EOF
