#!/usr/bin/env bash
# The real program on an X desktop without a tray host: it says so on standard error,
# shows its main window at once with the menu as its menu bar, whose "Check Now" fetches
# the page, and closing that window ends it with status 0.
#   no_tray.sh PROGRAM [SHOTS_DIR]
set -u
program=$1
shots=${2:-}
source "$(dirname "$0")/desktop.sh"

program_copy "$program"
kit_details() { cat "$work/err"; }

# close_window WIN: asks a window to close as a window manager's close box does.
close_window() { python3 - "$1" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                ("pad", ctypes.c_long * 12)]
d = x.XOpenDisplay(None)
win = int(sys.argv[1])
ev = ClientMessage()
ev.type = 33  # ClientMessage
ev.window = win
ev.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
ev.format = 32
ev.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
x.XSendEvent(d, win, 0, 0, ctypes.byref(ev))
x.XFlush.argtypes = [ctypes.c_void_p]
x.XFlush(d)
PY
}

desktop_start --no-tray || fatal "the desktop did not start"

watch_growing_page
start_program

wait_for 30 panel_window "$pid" || fatal "no window shows"
pass "the main window shows at start-up"
if grep -q "no notification area (system tray) is available" "$work/err"; then
    pass "standard error says there is no tray"
else failed "standard error: $(cat "$work/err")"; fi
others=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$(panel_window "$pid")")
[ -z "$others" ] || failed "windows other than the main window show: $others"

win=$(panel_window "$pid")
eval "$(xdotool getwindowgeometry --shell "$win")"
bar=$((HEIGHT - 127))
if [ "$WIDTH" = 461 ] && [ "$bar" -gt 10 ]; then pass "the panel with a menu bar of $bar pixels"; else
    failed "window ${WIDTH}x${HEIGHT}"; fi
wx=$X wy=$Y wh=$HEIGHT
screenshot "$work/window.png"
rows=$(text_rows "$work/window.png" "$wx" "$wy" 461 "$bar")
if [ "$rows" = 1 ]; then pass "the menu bar has its one line"; else failed "menu bar rows: $rows"; fi
rows=$(text_rows "$work/window.png" "$wx" "$((wy + bar))" 461 60)
if [ "$rows" = 3 ]; then pass "the credits below it"; else failed "credit lines: $rows"; fi
[ -n "$shots" ] && convert "$work/window.png" -crop "461x${wh}+${wx}+${wy}" +repage \
    "$shots/no-tray-window.png"

# The menu bar's one entry opens the menu with the three commands.
xdotool mousemove "$((wx + 20))" "$((wy + bar / 2))" click 1
if wait_for 10 menu_window "$pid"; then
    menu=$(menu_window "$pid")
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    screenshot "$work/menu.png"
    rows=$(text_rows "$work/menu.png" "$((X + 1))" "$((Y + 1))" "$((WIDTH - 2))" "$((HEIGHT - 2))")
    if [ "$rows" = 3 ]; then pass "its menu shows three entries"; else failed "menu rows: $rows"; fi
    # The first is "About": the window stays.
    xdotool key Down Return
    wait_for 10 window_hidden "$pid" "$menu" ||
        failed "the menu stayed open"
    panel_window "$pid" >/dev/null || failed "About hid the window"
else failed "the menu bar opened no menu"; fi

# Its second entry, "Check Now", fetches the page; the update lands in the window's log.
xdotool mousemove "$((wx + 20))" "$((wy + bar / 2))" click 1
if wait_for 10 menu_window "$pid"; then
    xdotool key Down Down Return
    if wait_for 20 grep -q "^GET /page HTTP/1.1" "$work/requests"; then
        pass "Check Now fetched the page"
    else failed "Check Now fetched nothing"; fi
    log_shows_update() {
        screenshot "$work/log.png" &&
            [ "$(text_rows "$work/log.png" "$((wx + 82))" "$((wy + bar + 66))" 365 39)" = 1 ]
    }
    if wait_for 10 log_shows_update; then pass "the update found shows in the log"; else
        failed "the log shows no update"; fi
else failed "the menu bar opened no menu again"; fi

# A click on the background leaves the window: there is no tray to bring it back from.
xdotool mousemove "$((wx + 4))" "$((wy + wh - 4))" click 1
wait_for 2 window_hidden "$pid" "$win" &&
    failed "a click on the background hid the window"

# Closing the window ends the program with status 0.
close_window "$win"
ends_cleanly "$pid" "closing the window"
exit $fail
