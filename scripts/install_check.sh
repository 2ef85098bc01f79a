#!/usr/bin/env bash
# Installs the build into a temporary prefix, validates the desktop entry, the AppStream metainfo and
# the MIME package, and starts the installed viewer with a movie argument under Xvfb: it must come up
# in the movie's folder with its settings in the user's configuration folder. Prints one line per check.
# Usage: scripts/install_check.sh [BUILD]  (default build; build it first with scripts/build.sh)
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
for tool in desktop-file-validate appstreamcli update-mime-database Xvfb; do
    command -v "$tool" >/dev/null || { echo "install check: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done
work="$(mktemp -d)"
trap 'kill "${xvfb:-}" 2>/dev/null; rm -rf "$work"' EXIT
prefix="$work/prefix"
failures=0
check() {   # check NAME COMMAND...
    local name="$1"; shift
    if "$@" >"$work/out" 2>&1; then echo "ok    $name"; else echo "FAIL  $name"; sed 's/^/      /' "$work/out" | head -20; failures=$((failures + 1)); fi
}

check "cmake --install" cmake --install "$build" --prefix "$prefix"
for f in bin/vistrel bin/vistrel-tool share/vistrel/swfinfo.dat share/vistrel/vistrel10.chm \
         share/vistrel/Language/English.lng share/vistrel/help/index.html \
         share/applications/org.vistrel.Vistrel.desktop share/metainfo/org.vistrel.Vistrel.metainfo.xml \
         share/mime/packages/org.vistrel.Vistrel.xml share/icons/hicolor/48x48/apps/org.vistrel.Vistrel.png \
         share/icons/hicolor/256x256/apps/org.vistrel.Vistrel.png; do
    check "installed $f" test -s "$prefix/$f"
done
# The sound output, loaded once the window is painted, from the installed library folder.
check "installed the sound output module" sh -c "ls '$prefix'/lib*/vistrel/vistrel-sound.so '$prefix'/lib/*/vistrel/vistrel-sound.so 2>/dev/null | grep -q ."
check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/org.vistrel.Vistrel.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/org.vistrel.Vistrel.metainfo.xml"
check "update-mime-database" update-mime-database "$prefix/share/mime"
check "the MIME database knows *.swf" grep -q "application/vnd.adobe.flash.movie" "$prefix/share/mime/globs2"
check "vistrel --version without a display" sh -c "env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY '$prefix/bin/vistrel' --version | grep -q '^Vistrel '"

# The installed viewer, started from an unrelated folder with a movie argument.
mkdir -p "$work/home/movies" "$work/config" "$work/data" "$work/elsewhere"
cp "$prefix/share/vistrel/swfinfo.dat" "$work/home/movies/intro.swf"
display=":$((90 + RANDOM % 50))"
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
# VISTREL_STARTUP_PROBE makes it quit by itself after its first painted frame, saving its settings.
check "the installed viewer starts and ends" sh -c "cd '$work/elsewhere' && HOME='$work/home' \
    XDG_CONFIG_HOME='$work/config' XDG_DATA_HOME='$work/data' DISPLAY='$display' \
    VISTREL_STARTUP_PROBE=\$(date +%s%N) timeout 30 '$prefix/bin/vistrel' '$work/home/movies/intro.swf'"
# Left running a few seconds, it loads its sound output after the first frame (a machine without a sound
# server then says so, which is fine; a module it cannot find is not).
check "the installed viewer finds its sound output" sh -c "cd '$work/elsewhere' && HOME='$work/home' \
    XDG_CONFIG_HOME='$work/config' XDG_DATA_HOME='$work/data' DISPLAY='$display' \
    timeout 5 '$prefix/bin/vistrel' '$work/home/movies/intro.swf' 2>'$work/stderr'; \
    [ \$? -eq 124 ] && ! grep -q 'module cannot be loaded' '$work/stderr'"
check "settings saved in the configuration folder" grep -q "SD=$work/home/movies" "$work/config/vistrel/vistrel.ini"
check "nothing written to the data folder" test ! -e "$prefix/share/vistrel/vistrel.ini"
echo "install check: $failures failures"
[ "$failures" -eq 0 ]
