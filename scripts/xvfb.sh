# Sourced by the benchmark scripts: without a display, starts a private Xvfb on a free display number
# (chosen by the server itself), exports DISPLAY and stops the server when the script exits.
# VISTREL_XVFB_SCREEN sets the screen (default 1280x900x24).
if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null || { echo "no display and no Xvfb (apt-get install xvfb)" >&2; exit 1; }
    xvfb_number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${VISTREL_XVFB_SCREEN:-1280x900x24}" -nolisten tcp 3>"$xvfb_number_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for ((xvfb_wait = 0; xvfb_wait < 100; xvfb_wait++)); do
        [ -s "$xvfb_number_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$xvfb_number_file")"
    rm -f "$xvfb_number_file"
    [ "$DISPLAY" != ":" ] || { kill "$xvfb_pid" 2>/dev/null; echo "Xvfb did not start" >&2; exit 1; }
    trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
fi
