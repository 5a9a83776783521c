# A real desktop for end-to-end tests, to be sourced by a test script:
#   source "$(dirname "$0")/desktop.sh"
#   desktop_start [--no-tray]   # Xvfb + own session bus (+ trayer as tray host)
#   desktop_start --sni         # Xvfb + own session bus + a StatusNotifierItem tray
#                               # (sni.py watcher; items that register: $DESKTOP_SNI_ITEMS)
#   desktop_start --wayland     # sway, headless, with its bar as StatusNotifierItem tray
#   desktop_start --wayland-no-tray  # the same, its bar without a tray
#   desktop_start_tray [--sni]  # the tray later, after desktop_start --no-tray
#   desktop_stop_tray           # the tray host goes away (and may start again)
#   ...                         # DISPLAY or WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS,
#                               # QT_QPA_PLATFORM are exported
# Helpers: tray_icon_window CLASSNAME (the embedded icon's window id), click_window WIN
# BUTTON [REPEAT], screenshot FILE, map_watch FILE; program_copy PROGRAM (a program
# directory of its own, $work); the window and screenshot helpers of screen_checks.sh;
# and the test kit's (tests/support/kit.sh: pass/failed/fatal, wait_for, holds, serve,
# $KIT_TMP, kit_track).
# sway refuses to run as root: with --wayland, everything on that desktop runs as
# $DESKTOP_USER (nobody when the test runs as root, else the caller) through
# as_desktop_user CMD... (or as_desktop_user_exec), in $DESKTOP_USER_DIR, a directory
# of that user's; sway_tree prints sway's windows, wayland_menu_bar_window checks the
# main window with its menu bar, and wayland_screenshot FILE takes a picture of the output.
# When sway or grim is missing, desktop_start --wayland[-no-tray] returns 77 (a skip).
# Everything it starts is ended on exit; no files outside $KIT_TMP are written.

source "$(dirname "${BASH_SOURCE[0]}")/../support/kit.sh"
# The session bus is a daemon of its own, not a child of the test.
kit_at_exit '[ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null'
# The session bus of a test has no service folders: nothing installed (a notification
# server such as dunst, a tray) is started by activation; a test starts what it needs.
_desktop_bus_conf="$(cd "$(dirname "${BASH_SOURCE[0]}")/../support" && pwd)/privatebus.conf"
_desktop_e2e="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The window and screenshot helpers come with it.
source "$(dirname "${BASH_SOURCE[0]}")/screen_checks.sh"

# program_copy PROGRAM: $work, a program directory of its own holding a copy of PROGRAM.
# On a Wayland desktop (after desktop_start --wayland...) it is its user's: the source
# and build trees may lie under a home that is not open to others.
program_copy() {
    work="${DESKTOP_USER_DIR:-$KIT_TMP}/program"
    mkdir -p "$work"
    cp "$1" "$work/orvell"
    [ -n "${DESKTOP_USER_DIR:-}" ] && [ "$(id -u)" = 0 ] && chown -R "$DESKTOP_USER" "$work"
    KIT_PROGRAM=$1
}

_faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
# needs_faketime: ends the test as a skip where libfaketime is missing. The program that
# start_before_mark starts under it keeps a shared-memory segment that is removed only on
# a normal exit: it goes on the test's exit.
needs_faketime() {
    [ -f "$_faketime_lib" ] || { echo "SKIP: libfaketime is not installed"; exit 77; }
    program_pid=""
    kit_at_exit '[ -n "$program_pid" ] && rm -f "/dev/shm/faketime_shm_$program_pid" "/dev/shm/sem.faketime_sem_$program_pid"'
}

# start_before_mark [NAME=VALUE...]: starts $work/app/orvell in its folder with those
# variables, its clock at 1:59:55 PM on 2026-12-08, so that the schedule's mark comes
# 4 s later; its output in $work/out and $work/err, its process id in $program_pid,
# ended on exit. After needs_faketime.
start_before_mark() {
    (
        cd "$work/app" &&
            exec env "$@" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0:detect_leaks=0" \
                LD_PRELOAD="$_faketime_lib" FAKETIME="@2026-12-08 13:59:55" \
                FAKETIME_DONT_FAKE_MONOTONIC=1 ./orvell >"$work/out" 2>"$work/err"
    ) &
    program_pid=$!
    kit_track "$program_pid"
}

# watch_growing_page [POPUP]: serves a page that grows with every request and points
# $work/config.ini at it (popup switch POPUP, default 0), beside an earlier snapshot.
watch_growing_page() {
    serve --growing --requests "$work/requests" || fatal "the page server did not start"
    printf '"http://127.0.0.1:%s/page"\r\n%s\r\n"chime.wav"\r\n' "$served_port" "${1:-0}" \
        >"$work/config.ini"
    printf '<p>an earlier page</p>\r\n' >"$work/data.orvl"
}

# start_program [NAME=VALUE...]: starts $work/orvell with those variables set, its output
# in $work/out and $work/err; its process id in $pid. It is ended on exit.
start_program() {
    env "$@" "$work/orvell" >"$work/out" 2>"$work/err" &
    pid=$!
    kit_track "$pid"
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

# as_desktop_user CMD...: runs CMD as the user of the Wayland desktop, in its
# environment.
# as_desktop_user_exec CMD... replaces the (sub)shell with CMD, so that CMD keeps its pid.
_desktop_as_user() {
    if [ "$(id -u)" = 0 ]; then
        echo setpriv --reuid="$DESKTOP_USER" --regid="$(id -g "$DESKTOP_USER")" --clear-groups \
            env HOME="$DESKTOP_USER_DIR/home"
    fi
}
as_desktop_user() { $(_desktop_as_user) "$@"; }
as_desktop_user_exec() { exec $(_desktop_as_user) "$@"; }

_desktop_start_wayland() {
    local tray=$1
    command -v sway >/dev/null && command -v grim >/dev/null ||
        { echo "SKIP: sway and grim are needed for a Wayland desktop"; return 77; }
    DESKTOP_USER=$(id -un)
    [ "$(id -u)" = 0 ] && DESKTOP_USER=nobody
    chmod 711 "$KIT_TMP"
    DESKTOP_USER_DIR="$KIT_TMP/user"
    mkdir -p "$DESKTOP_USER_DIR/home" "$DESKTOP_USER_DIR/runtime"
    chmod 700 "$DESKTOP_USER_DIR/runtime"
    [ "$(id -u)" = 0 ] && chown -R "$DESKTOP_USER:$(id -gn "$DESKTOP_USER")" "$DESKTOP_USER_DIR"
    as_desktop_user test -w "$DESKTOP_USER_DIR" ||
        { echo "$DESKTOP_USER cannot reach $DESKTOP_USER_DIR" >&2; return 1; }
    export XDG_RUNTIME_DIR="$DESKTOP_USER_DIR/runtime"
    unset DISPLAY

    # The session bus is the user's own: a bus lets in only the user it runs as.
    local bus
    # Its configuration too: the source tree may lie under a home closed to that user.
    cp "$_desktop_bus_conf" "$DESKTOP_USER_DIR/bus.conf" && chmod a+r "$DESKTOP_USER_DIR/bus.conf"
    bus=$(as_desktop_user dbus-daemon --config-file="$DESKTOP_USER_DIR/bus.conf" --fork \
        --print-address=1 --print-pid=1) || return 1
    export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
    export DBUS_SESSION_BUS_PID=$(echo "$bus" | sed -n 2p)

    # One output of 1024 x 768 and a bar that holds a tray (swaybar is a
    # StatusNotifierItem host), or none; no X server.
    local tray_output='*'
    [ "$tray" = 1 ] || tray_output=none
    cat >"$DESKTOP_USER_DIR/sway.conf" <<CONF
xwayland disable
output * mode 1024x768
bar {
    tray_output $tray_output
}
CONF
    (WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        as_desktop_user_exec sway -c "$DESKTOP_USER_DIR/sway.conf") >"$KIT_TMP/sway.log" 2>&1 &
    kit_track $!
    _sway_ready() {
        [ -S "$XDG_RUNTIME_DIR/wayland-1" ] && ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock
    }
    wait_for 20 _sway_ready || { echo "sway did not start" >&2; cat "$KIT_TMP/sway.log" >&2; return 1; }
    export WAYLAND_DISPLAY=wayland-1
    export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -1)
    _tray_host_registered() {
        as_desktop_user gdbus call --session --dest org.kde.StatusNotifierWatcher \
            --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
            org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered | grep -q true
    }
    if [ "$tray" = 1 ]; then
        wait_for 20 _tray_host_registered || { echo "sway's bar has no tray" >&2; return 1; }
    fi
    export QT_QPA_PLATFORM=wayland
}

# sway_tree: sway's windows, one a line: "floating|tiled X Y WIDTH HEIGHT NAME", with
# the place and size of the window's own surface on the output.
sway_tree() {
    as_desktop_user swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("type") in ("con", "floating_con") and node.get("pid"):
        r, w = node["rect"], node["window_rect"]
        kind = "floating" if node["type"] == "floating_con" else "tiled"
        print(kind, r["x"] + w["x"], r["y"] + w["y"], w["width"], w["height"], node.get("name") or "")
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}

# wayland_menu_bar_window WHAT: waits for the main window (461 pixels wide) and checks
# that it floats at its own size with the menu bar above the panel; WHAT starts the
# message. Returns 1 when no such window came.
wayland_menu_bar_window() {
    _panel_line() { sway_tree | awk '$4 == 461 { print; found = 1 } END { exit !found }'; }
    wait_for 30 _panel_line || { failed "$1: no window: $(sway_tree)"; return 1; }
    local kind ph
    read -r kind _ _ _ ph _ <<<"$(_panel_line)"
    if [ "$kind" = floating ] && [ "$ph" -gt 137 ]; then
        pass "$1: the window with its menu bar (461 x $ph, floating)"
    else failed "$1: the window: $(_panel_line)"; fi
}

# wayland_desktop [--no-tray] PROGRAM [SCRIPT...]: desktop_start --wayland (or
# --wayland-no-tray), ending the test as a skip where sway is missing; then program_copy
# PROGRAM, and the SCRIPTs of this folder copied into $DESKTOP_USER_DIR, that user's.
wayland_desktop() {
    local kind=--wayland started script
    [ "$1" = --no-tray ] && { kind=--wayland-no-tray; shift; }
    desktop_start "$kind"
    started=$?
    [ "$started" = 77 ] && exit 77
    [ "$started" = 0 ] || fatal "the Wayland desktop did not start"
    program_copy "$1"
    shift
    for script in "$@"; do
        cp "$_desktop_e2e/$script" "$DESKTOP_USER_DIR/$script"
        [ "$(id -u)" = 0 ] && chown "$DESKTOP_USER" "$DESKTOP_USER_DIR/$script"
    done
}

# wayland_item: waits for the program's StatusNotifierItem at swaybar's watcher (the
# test ends when none registers); then `sni COMMAND ARGS...` runs sni.py's COMMAND on it.
# Needs sni.py among wayland_desktop's scripts.
wayland_item() {
    _find_item() { item=$(as_desktop_user "$DESKTOP_USER_DIR/sni.py" item); }
    wait_for 30 _find_item || fatal "no item registered"
}
sni() { as_desktop_user "$DESKTOP_USER_DIR/sni.py" "$1" $item "${@:2}"; }

wayland_screenshot() {
    as_desktop_user grim "$DESKTOP_USER_DIR/screenshot.png" && cp "$DESKTOP_USER_DIR/screenshot.png" "$1"
}

desktop_start() {
    local with_tray=1
    [ "${1:-}" = "--no-tray" ] && with_tray=0
    [ "${1:-}" = "--sni" ] && with_tray=sni
    [ "${1:-}" = "--wayland" ] && { _desktop_start_wayland 1; return; }
    [ "${1:-}" = "--wayland-no-tray" ] && { _desktop_start_wayland 0; return; }
    # Xvfb picks a free display number and tells it on a pipe.
    exec {_fd}<> <(:)
    Xvfb -displayfd "$_fd" -screen 0 1024x768x24 -nolisten tcp >"$KIT_TMP/xvfb.log" 2>&1 &
    kit_track $!
    local num=""
    read -r -t 20 num <&"$_fd" || { echo "Xvfb did not start" >&2; return 1; }
    exec {_fd}>&-
    export DISPLAY=":$num"
    wait_for 20 xdpyinfo || { echo "display $DISPLAY not ready" >&2; return 1; }

    # Our own session bus, so nothing auto-launches one that outlives the test.
    local bus
    bus=$(dbus-daemon --config-file="$_desktop_bus_conf" --fork --print-address=1 --print-pid=1) || return 1
    export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
    export DBUS_SESSION_BUS_PID=$(echo "$bus" | sed -n 2p)
    export XDG_RUNTIME_DIR="$KIT_TMP/runtime"
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM
    export QT_QPA_PLATFORM=xcb

    case "$with_tray" in
    sni) desktop_start_tray --sni || return 1 ;;
    1) desktop_start_tray || return 1 ;;
    esac
}

# desktop_start_tray [--sni]: starts the tray host, trayer (an XEmbed tray) or with --sni
# the sni.py watcher (items that register: $DESKTOP_SNI_ITEMS). desktop_start does; after
# desktop_start --no-tray it makes a tray that comes up after the program.
desktop_start_tray() {
    if [ "${1:-}" = --sni ]; then
        DESKTOP_SNI_ITEMS="$KIT_TMP/sni-items"
        : >"$DESKTOP_SNI_ITEMS"
        "$(dirname "${BASH_SOURCE[0]}")/sni.py" watcher "$DESKTOP_SNI_ITEMS" \
            >"$KIT_TMP/sni.log" 2>&1 &
        _tray_pid=$!
        kit_track $!
        _sni_watching() {
            gdbus call --session --dest org.kde.StatusNotifierWatcher \
                --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Peer.Ping
        }
        wait_for 20 _sni_watching || { echo "the tray watcher did not start" >&2; return 1; }
    else
        trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel \
            --height 24 --transparent false >"$KIT_TMP/trayer.log" 2>&1 &
        _tray_pid=$!
        kit_track $!
        wait_for 20 _tray_owned || { echo "tray host did not start" >&2; return 1; }
    fi
}

desktop_stop_tray() {
    kill "$_tray_pid" 2>/dev/null
    wait "$_tray_pid" 2>/dev/null
    return 0
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

# map_watch FILE: from now on, the name of every top-level window that is mapped goes
# into FILE, one a line (also windows that are unmapped again at once).
map_watch() {
    python3 -u - "$1" <<'PY' &
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
class MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("pad", ctypes.c_long * 24)]
d = x.XOpenDisplay(None)
x.XSelectInput(d, x.XDefaultRootWindow(d), 1 << 19)  # SubstructureNotifyMask
x.XSync(d, 0)
out = open(sys.argv[1], "a", buffering=1)
out.write("watching\n")
ev = MapEvent()
while True:
    x.XNextEvent(d, ctypes.byref(ev))
    if ev.type == 19:  # MapNotify
        name = ctypes.c_char_p()
        x.XFetchName(d, ev.window, ctypes.byref(name))
        out.write("%d %s\n" % (ev.window, (name.value or b"").decode(errors="replace")))
PY
    kit_track $!
    wait_for 10 grep -qx watching "$1"
}
