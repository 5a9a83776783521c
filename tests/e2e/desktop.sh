# A real desktop for end-to-end tests, to be sourced by a test script:
#   source "$(dirname "$0")/desktop.sh"
#   desktop_start [--no-tray]   # Xvfb + own session bus (+ trayer as tray host)
#   ...                         # DISPLAY and DBUS_SESSION_BUS_ADDRESS are exported
#   (desktop_stop runs on exit)
# Helpers: tray_icon_window CLASSNAME (the embedded icon's window id), wait_for CMD...,
# click_window WIN BUTTON [REPEAT], screenshot FILE; program_copy PROGRAM (a program
# directory of its own, $work), serve ARGS... (the test kit's web server, its port in
# $served_port), pass/failed (a check's result; $fail is 1 after any failure).
# Everything it starts is ended on exit; no files outside $DESKTOP_TMP are written.

DESKTOP_TMP=$(mktemp -d)
_desktop_pids=()

desktop_stop() {
    local pid
    for pid in "${_desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${_desktop_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if [ -n "${DBUS_SESSION_BUS_PID:-}" ]; then kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true; fi
    rm -rf "$DESKTOP_TMP"
    return 0
}
trap desktop_stop EXIT
# The window and screenshot helpers come with it.
source "$(dirname "${BASH_SOURCE[0]}")/screen_checks.sh"

fail=0
pass() { echo "PASS $*"; }
failed() { echo "FAIL $*"; fail=1; }

# program_copy PROGRAM: $work, a program directory of its own holding a copy of PROGRAM.
program_copy() {
    work="$DESKTOP_TMP/program"
    mkdir -p "$work"
    cp "$1" "$work/orvell"
    _program=$1
}

# serve ARGS...: starts the test kit's web server (orvell_serve; ORVELL_SERVE names it,
# else it is looked for beside the program copied last) on 127.0.0.1 with ARGS; it is
# ended on exit. Its port goes to $served_port.
serve() {
    local bin=${ORVELL_SERVE:-$(dirname "${_program:-.}")/tests/support/orvell_serve}
    local out="$DESKTOP_TMP/serve.$RANDOM"
    "$bin" "$@" >"$out" &
    _desktop_pids+=($!)
    wait_for 10 grep -q . "$out" || { echo "the web server did not start" >&2; return 1; }
    served_port=$(head -1 "$out")
}

# wait_for TIMEOUT_SECONDS CMD...: polls CMD every 0.1 s until it succeeds.
wait_for() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

# Whether a tray host owns the system tray selection of screen 0.
_tray_owned() { python3 - <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
d = x.XOpenDisplay(None)
if not d: sys.exit(1)
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
atom = x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)
sys.exit(0 if x.XGetSelectionOwner(d, atom) else 1)
PY
}

desktop_start() {
    local with_tray=1
    [ "${1:-}" = "--no-tray" ] && with_tray=0
    # Xvfb picks a free display number and tells it on a pipe.
    exec {_fd}<> <(:)
    Xvfb -displayfd "$_fd" -screen 0 1024x768x24 -nolisten tcp >"$DESKTOP_TMP/xvfb.log" 2>&1 &
    _desktop_pids+=($!)
    local num=""
    read -r -t 20 num <&"$_fd" || { echo "Xvfb did not start" >&2; return 1; }
    exec {_fd}>&-
    export DISPLAY=":$num"
    wait_for 20 xdpyinfo || { echo "display $DISPLAY not ready" >&2; return 1; }

    # Our own session bus, so nothing auto-launches one that outlives the test.
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || return 1
    export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
    export DBUS_SESSION_BUS_PID=$(echo "$bus" | sed -n 2p)
    export XDG_RUNTIME_DIR="$DESKTOP_TMP/runtime"
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM
    export QT_QPA_PLATFORM=xcb

    if [ "$with_tray" = 1 ]; then
        trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
            --height 24 --transparent false >"$DESKTOP_TMP/trayer.log" 2>&1 &
        _desktop_pids+=($!)
        wait_for 20 _tray_owned || { echo "tray host did not start" >&2; return 1; }
    fi
}

# tray_icon_window CLASSNAME: the window id of a program's icon embedded in the tray
# (a small window of the program's class; Qt's hidden 1x1 helper window is skipped).
tray_icon_window() {
    local w
    for w in $(xdotool search --classname "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        if [ "${WIDTH:-0}" -gt 1 ] && [ "${WIDTH:-0}" -le 64 ] && [ "${HEIGHT:-0}" -le 64 ]; then
            echo "$w"
            return 0
        fi
    done
    return 1
}

# click_window WIN BUTTON [REPEAT]: clicks the middle of a window.
click_window() {
    local win=$1 button=$2 repeat=${3:-1}
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))"
    xdotool click --repeat "$repeat" --delay 120 "$button"
}

screenshot() { import -window root "$1"; }
