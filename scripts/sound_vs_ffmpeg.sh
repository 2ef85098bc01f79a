#!/usr/bin/env bash
# Compares the engine's sound with an independent decoder (Debian's ffmpeg, which reads a movie's
# stream sound and its defined sounds directly). For every movie with sound in the given folders:
#   - stream sound of the root timeline: `vistrel-tool audio MOVIE` (the mix the viewer sends) against
#     ffmpeg's decoding of the same stream;
#   - each defined (event) sound: `vistrel-tool audio --sound ID` against ffmpeg's decoding of it.
# Movies made here by ffmpeg's own SWF writer add stream sound at each MP3 rate, mono and stereo, since
# few real movies carry it. Each pair is aligned by a cross-correlation lag search; a pair matches at a
# normalised cross-correlation of 0.95 or more. Prints one line per pair and the counts.
#
# Usage: scripts/sound_vs_ffmpeg.sh [FOLDER...]   (default: ../shared/realworld ../shared/corpus)
#   VISTREL_BUILD  build folder (default: build), holding bin/vistrel-tool and bin/vistrel-audio-compare
#   MADE=0         leaves out the movies made here
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VISTREL_BUILD:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
tool="$build/bin/vistrel-tool"
compare="$build/bin/vistrel-audio-compare"
[ -x "$tool" ] && [ -x "$compare" ] || { echo "build vistrel-tool and vistrel-audio-compare first ($build)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed (Debian: ffmpeg)" >&2; exit 2; }
export QT_QPA_PLATFORM=offscreen
[ $# -gt 0 ] && folders=("$@") || folders=("$root/../shared/realworld" "$root/../shared/corpus")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

stream_total=0 stream_match=0 event_total=0 event_match=0 made_total=0 made_match=0

# ffmpeg's decoding of audio stream K of a movie, at the engine's output rate and layout.
reference() { timeout 120 ffmpeg -v error -nostdin -y -i "$1" -map "0:a:$2" -ar 44100 -ac 2 -c:a pcm_s16le "$3" 2>/dev/null; }

# Prints "NCC LAG_MS KIND NAME" and counts a match.
judge() {
    local kind="$1" name="$2" ours="$3" ref="$4" result
    result="$("$compare" "$ref" "$ours" 2>/dev/null)" || result="unreadable"
    printf '%-16s %-7s %s\n' "$result" "$kind" "$name"
    local ncc="${result%% *}"
    local ok=0
    [[ "$ncc" =~ ^-?[0-9.]+$ ]] && awk -v v="$ncc" 'BEGIN { exit !(v >= 0.95) }' && ok=1
    case "$kind" in
    stream) stream_total=$((stream_total + 1)); stream_match=$((stream_match + ok)) ;;
    event) event_total=$((event_total + 1)); event_match=$((event_match + ok)) ;;
    made) made_total=$((made_total + 1)); made_match=$((made_match + ok)) ;;
    esac
}

measure() {   # MOVIE KIND-FOR-STREAM NAME
    local movie="$1" streamKind="$2" name="$3" k=0 line
    local sounds
    sounds="$(timeout 60 "$tool" audio --list "$movie" 2>/dev/null)" || return
    while read -r line; do
        [ -z "$line" ] && continue
        set -- $line
        if [ "$1" = "stream" ]; then
            if [ "$6" -gt 0 ] && reference "$movie" "$k" "$work/ref.wav"; then
                timeout 300 "$tool" audio "$movie" "$work/ours.wav" 2>/dev/null &&
                    judge "$streamKind" "$name (stream $2 $3 Hz)" "$work/ours.wav" "$work/ref.wav"
            fi
        elif [ "$1" = "sound" ]; then
            if reference "$movie" "$k" "$work/ref.wav" &&
                timeout 60 "$tool" audio --sound "$2" "$movie" "$work/ours.wav" 2>/dev/null; then
                judge event "$name (sound $2 $3 $4 Hz)" "$work/ours.wav" "$work/ref.wav"
            fi
        fi
        k=$((k + 1))
    done <<<"$sounds"
}

for folder in "${folders[@]}"; do
    [ -d "$folder" ] || { echo "no folder $folder" >&2; continue; }
    while IFS= read -r movie; do
        measure "$movie" stream "${movie#"$folder"/}"
    done < <(find "$folder" -name '*.swf' | sort)
done

if [ "${MADE:-1}" != 0 ]; then
    # A sweep with a slow tremolo: nothing in it repeats, so the alignment is unambiguous.
    left='0.4*sin(2*PI*(220*t+60*t*t))*(0.6+0.4*sin(2*PI*1.3*t))'
    right='0.3*sin(2*PI*(330*t+35*t*t))*(0.6+0.4*cos(2*PI*0.7*t))'
    for rate in 11025 22050 44100; do
        for layout in mono stereo; do
            [ "$layout" = mono ] && expr="$left" || expr="$left|$right"
            for fps in 12 25; do
                movie="$work/made_${rate}_${layout}_${fps}.swf"
                ffmpeg -v error -nostdin -y -f lavfi -i "testsrc=size=160x120:rate=$fps:duration=6" \
                    -f lavfi -i "aevalsrc=$expr:s=$rate:d=6" -c:v flv -c:a libmp3lame -b:a 64k -shortest \
                    "$movie" 2>/dev/null || continue
                measure "$movie" made "mp3 $rate Hz $layout at $fps fps"
            done
        done
    done
fi

echo "stream sound of real movies: $stream_match of $stream_total at >= 0.95"
echo "event sounds of real movies: $event_match of $event_total at >= 0.95"
echo "stream sound of movies made by ffmpeg: $made_match of $made_total at >= 0.95"
