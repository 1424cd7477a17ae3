# shellcheck shell=bash
# Sourced by the scripts that show a window. qx_start_virtual_display starts Xvfb on a display
# number no other X server holds (Xvfb picks it itself with -displayfd, so two scripts started
# at once never race for one), exports DISPLAY and sets QX_XVFB_PID. Returns non-zero, with the
# reason on standard error, when no virtual display can be had. The screen is 1280 x 1024 times
# QT_SCALE_FACTOR, so that a scaled window fits it as the unscaled one fits 1280 x 1024.
qx_start_virtual_display() {
    if ! command -v Xvfb >/dev/null; then
        echo "No X display and no Xvfb: qxwatch needs a display. Run it on a desktop, or" \
            "install Xvfb (scripts/setup run) for a virtual one." >&2
        return 1
    fi
    local numberfile size
    size=$(awk -v s="${QT_SCALE_FACTOR:-1}" 'BEGIN { printf "%dx%d\n", 1280 * s, 1024 * s }')
    numberfile=$(mktemp "${TMPDIR:-/tmp}/qxwatch-display.XXXXXX")
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
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

# qx_click_client WID X Y: clicks the point X, Y of the client area (below the menu bar) of the
# qxwatch window WID, given in the window's own pixels at scale 1 and scaled by QT_SCALE_FACTOR
# as the window is. The client area is 278 pixels high at every start without comment panels;
# what the window has above it is the menu bar.
qx_click_client() {
    local wid=$1 x=$2 y=$3 height px py
    height=$(xdotool getwindowgeometry --shell "$wid" | sed -n 's/^HEIGHT=//p')
    read -r px py < <(awk -v h="$height" -v s="${QT_SCALE_FACTOR:-1}" -v x="$x" -v y="$y" \
        'BEGIN { printf "%d %d\n", x * s, h - 278 * s + y * s }')
    xdotool mousemove --window "$wid" "$px" "$py" click 1
}

# qx_click_connect WID: clicks the connect button (the green plug at the left of the tool strip)
# of the qxwatch window WID.
qx_click_connect() {
    qx_click_client "$1" 13 12
}
