# shellcheck shell=bash
# Sourced by the scripts that show a window. qx_start_virtual_display starts Xvfb on a display
# number no other X server holds (Xvfb picks it itself with -displayfd, so two scripts started
# at once never race for one), exports DISPLAY and sets QX_XVFB_PID. Returns non-zero, with the
# reason on standard error, when no virtual display can be had.
qx_start_virtual_display() {
    if ! command -v Xvfb >/dev/null; then
        echo "No X display and no Xvfb: qxwatch needs a display. Run it on a desktop, or" \
            "install Xvfb (scripts/setup run) for a virtual one." >&2
        return 1
    fi
    local numberfile
    numberfile=$(mktemp "${TMPDIR:-/tmp}/qxwatch-display.XXXXXX")
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
    QX_XVFB_PID=$!
    local deadline=$((SECONDS + 20))
    while [ ! -s "$numberfile" ] && [ $SECONDS -lt $deadline ] && kill -0 "$QX_XVFB_PID" 2>/dev/null; do
        sleep 0.05
    done
    local number
    number=$(tr -dc '0-9' <"$numberfile")
    rm -f "$numberfile"
    if [ -z "$number" ]; then
        kill "$QX_XVFB_PID" 2>/dev/null || true
        echo "Xvfb did not start: qxwatch needs a display." >&2
        return 1
    fi
    export DISPLAY=":$number"
}

# qx_stop_virtual_display: ends the Xvfb that qx_start_virtual_display started, if any.
qx_stop_virtual_display() {
    if [ -n "${QX_XVFB_PID:-}" ]; then
        kill "$QX_XVFB_PID" 2>/dev/null || true
        wait "$QX_XVFB_PID" 2>/dev/null || true
        QX_XVFB_PID=
    fi
}

# qx_wait_for_window PATTERN SECONDS: prints the id of the first window whose title matches
# the extended regular expression PATTERN, waiting at most SECONDS; non-zero when none came.
qx_wait_for_window() {
    local pattern=$1 deadline=$((SECONDS + $2)) wid
    while [ $SECONDS -lt "$deadline" ]; do
        for wid in $(xdotool search --onlyvisible --class qxwatch 2>/dev/null); do
            if xdotool getwindowname "$wid" 2>/dev/null | grep -Eq "$pattern"; then
                echo "$wid"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# qx_click_connect WID: clicks the connect button (the green plug at the left of the tool strip)
# of the qxwatch window WID. The client area is 278 pixels high at every start without comment
# panels; what the window has above it is the menu bar.
qx_click_connect() {
    local wid=$1 height
    height=$(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^HEIGHT=//p')
    local menubar=$((height - 278))
    xdotool mousemove --window "$wid" 13 $((menubar + 12)) click 1
}
