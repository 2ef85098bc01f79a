#!/usr/bin/env bash
# Compares what `vistrel-tool info` reads from each movie of a folder with what exiftool reads:
# version, compression, frame size, frame rate and frame count. Prints every movie that disagrees
# and the number that agree.
#
# Usage: scripts/info_vs_exiftool.sh [MOVIE_FOLDER] [VISTREL_TOOL]
#   MOVIE_FOLDER  movies as <folder>/*/movie.swf or <folder>/*.swf (default: ../shared/corpus)
#   VISTREL_TOOL  the built tool (default: build/bin/vistrel-tool)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$root/../shared/corpus}"
tool="${2:-$root/build/bin/vistrel-tool}"

if [ ! -d "$folder" ]; then
    echo "info vs exiftool: no movie folder at $folder, nothing to compare"
    exit 0
fi
command -v exiftool >/dev/null || { echo "exiftool is not installed (Debian: libimage-exiftool-perl)" >&2; exit 2; }
[ -x "$tool" ] || { echo "vistrel-tool not found at $tool; build it first" >&2; exit 2; }

shopt -s nullglob
movies=("$folder"/*/movie.swf "$folder"/*.swf)
if [ ${#movies[@]} -eq 0 ]; then
    echo "info vs exiftool: no movies in $folder"
    exit 0
fi

agree=0
total=0
for movie in "${movies[@]}"; do
    total=$((total + 1))
    ours="$("$tool" info "$movie" 2>&1)"
    status=$?
    if [ $status -ne 0 ]; then
        echo "DIFFERS $movie: vistrel-tool exit $status: $ours"
        continue
    fi
    field() { printf '%s\n' "$ours" | sed -n "s/^$1: //p"; }
    signature="$(field Signature)"
    compressed=1
    [ "$signature" = "FWS" ] && compressed=0
    ours_line="$(field Version) $compressed $(field Width) $(field Height) $(field FrameRate) $(field FrameRateFraction) $(field FrameCount)"

    # -f prints "-" for a tag exiftool could not read, so the fields keep their places.
    theirs_line="$(exiftool -s3 -f -n -FlashVersion -Compressed -ImageWidth -ImageHeight -FrameRate -FrameCount "$movie" 2>/dev/null | tr '\n' ' ')"

    verdict="$(awk -v o="$ours_line" -v t="$theirs_line" 'BEGIN {
        split(o, a, " "); n = split(t, b, " ")
        if (n < 6) { print "exiftool read nothing"; exit }
        names[1] = "version"; names[2] = "compressed"; names[3] = "width"; names[4] = "height"
        out = ""
        if (b[1] == "-" || a[1] != b[1] + 0) out = out " version " a[1] "/" b[1]
        if (b[2] == "-" || a[2] != b[2] + 0) out = out " compressed " a[2] "/" b[2]
        if (b[3] == "-" || a[3] != int(b[3])) out = out " width " a[3] "/" b[3]
        if (b[4] == "-" || a[4] != int(b[4])) out = out " height " a[4] "/" b[4]
        rate = a[5] + a[6] / 256
        d = rate - b[5]; if (d < 0) d = -d
        if (b[5] == "-" || d > 0.01) out = out " rate " rate "/" b[5]
        if (b[6] == "-" || a[7] != b[6] + 0) out = out " frames " a[7] "/" b[6]
        print out
    }')"
    if [ -z "$verdict" ]; then
        agree=$((agree + 1))
    else
        echo "DIFFERS $movie (ours/exiftool):$verdict"
    fi
done
echo "info vs exiftool: $agree of $total movies agree"
