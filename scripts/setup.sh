#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Vistrel needs.
# Idempotent and non-interactive; run as root or with sudo available.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    lld                 # links the many test programs quickly
    qt6-base-dev qt6-image-formats-plugins libgl-dev
    zlib1g-dev liblzma-dev
    libgtest-dev libgmock-dev
    fp-utils            # chmcmd, compiles the help file
    fonts-dejavu-core   # outlines of the start-up movie's title
    fonts-noto-core     # Noto Sans: the face of movies' device text
    xdg-utils           # xdg-open, used by the help command
    clang libclang-rt-dev   # libFuzzer and sanitizer runtimes
    time                # peak memory in the measuring scripts
    util-linux          # setpriv: permission tests drop root for a child run
    desktop-file-utils appstream shared-mime-info xvfb   # scripts/install_check.sh
    libfontconfig-dev   # the viewer reads the font configuration early, on a thread of its own
    libavcodec-dev libavutil-dev libswresample-dev libswscale-dev   # sound and video decoding
    qt6-multimedia-dev  # sound output
    ffmpeg              # tests encode short sound and video clips
    xdotool imagemagick # scripts/xvfb_input_check.sh clicks and types into the viewer, reads the screen
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
