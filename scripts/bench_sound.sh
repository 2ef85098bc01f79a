#!/usr/bin/env bash
# CPU that sound costs while a stream-sound movie plays: decoding its MP3 blocks and mixing, measured
# with `vistrel-tool audio` (the same timeline pacing and mix the viewer's sound thread pulls) on movies
# made here by ffmpeg's SWF writer (a small picture and a minute of stream sound). The CPU of a one-frame
# run (start-up, reading the movie) is taken off; what is left, divided by the seconds of sound, is the
# share of one core that playing the sound takes.
# Usage: scripts/bench_sound.sh   (VISTREL_BUILD: build folder, default build; SECONDS_OF_SOUND: 60)
set -uo pipefail
cd "$(dirname "$0")/.."
build="${VISTREL_BUILD:-build}"
tool="$build/bin/vistrel-tool"
length="${SECONDS_OF_SOUND:-60}"
[ -x "$tool" ] || { echo "bench: $tool is missing; build vistrel-tool first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "bench: ffmpeg is not installed (Debian: ffmpeg)" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# User plus system CPU seconds of a command.
cpu() {
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>&1; } 2>"$work/time"
    tail -1 "$work/time" | awk '{ print $1 + $2 }'
}

printf '%-34s %10s %12s %14s\n' "movie" "sound (s)" "CPU (s)" "share of core"
for spec in "22050 1 12" "44100 2 24"; do
    set -- $spec
    rate=$1 channels=$2 fps=$3
    movie="$work/stream_${rate}_${channels}.swf"
    ffmpeg -v error -nostdin -y -f lavfi -i "testsrc=size=32x24:rate=$fps:duration=$length" \
        -f lavfi -i "aevalsrc=0.4*sin(2*PI*(220*t+3*t*t)):s=$rate:d=$length" -ac "$channels" \
        -c:v flv -c:a libmp3lame -b:a 128k -shortest "$movie" || { echo "bench: ffmpeg could not make $movie"; continue; }
    base="$(cpu "$tool" audio --frames 1 "$movie" "$work/one.wav")"
    full="$(cpu "$tool" audio "$movie" "$work/all.wav")"
    seconds="$(awk -v b="$(stat -c %s "$work/all.wav")" 'BEGIN { printf "%.1f", (b - 44) / 176400 }')"
    awk -v n="mp3 $rate Hz, $channels ch, $fps fps" -v s="$seconds" -v f="$full" -v b="$base" \
        'BEGIN { c = f - b; if (c < 0) c = 0; printf "%-34s %10s %12.3f %13.2f%%\n", n, s, c, (s > 0 ? 100 * c / s : 0) }'
done
