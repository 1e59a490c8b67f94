# Sourced by the scripts: starts a private Xvfb display and exports DISPLAY.
# The display is ended when the calling script exits.
start_private_display() {
    local n
    for n in $(seq 90 199); do
        if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
            KESTRO_XVFB_PID=$!
            for _ in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X${n}" ] && break
                sleep 0.1
            done
            export DISPLAY=":$n"
            trap 'kill "$KESTRO_XVFB_PID" 2>/dev/null || true' EXIT
            return 0
        fi
    done
    echo "no free X display number" >&2
    return 1
}
