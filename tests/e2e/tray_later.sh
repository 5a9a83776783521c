#!/usr/bin/env bash
# The real program started on an X desktop before its tray: it shows its stand-in
# window; three seconds later the tray comes up, the icon goes there and the window
# hides, in the same process.
#   tray_later.sh PROGRAM xembed   # trayer, an XEmbed tray
#   tray_later.sh PROGRAM sni      # a StatusNotifierItem watcher and host on the bus
set -u
program=$1
kind=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"
source "$here/screen_checks.sh"

if [ "$kind" = sni ]; then
    # The watcher needs D-Bus for Python (python3-dbus, python3-gi).
    python=""
    for py in /usr/bin/python3 python3; do
        if "$py" -c 'import dbus.mainloop.glib, gi' 2>/dev/null; then python=$py; break; fi
    done
    [ -n "$python" ] || { echo "SKIP no python3 with dbus and gi"; exit 77; }
fi

program_copy "$program"
printf '"http://127.0.0.1:9/"\r\n0\r\n"chime.wav"\r\n' >"$work/config.ini"

desktop_start --no-tray || exit 1
"$work/orvell" >"$work/out" 2>"$work/err" &
pid=$!
_desktop_pids+=("$pid")
if wait_for 30 panel_window "$pid"; then pass "without a tray the window shows"; else
    failed "no window shows"; cat "$work/err"; exit 1; fi

sleep 3 # the desktop's panel comes up after the program
if [ "$kind" = xembed ]; then
    desktop_start_tray || exit 1
    if wait_for 20 icon_window "$pid"; then pass "the icon is embedded in the tray"; else
        failed "no icon in the tray"; fi
else
    "$python" "$here/sni_watcher.py" >"$work/watcher.out" 2>"$work/watcher.err" &
    _desktop_pids+=("$!")
    if wait_for 30 grep -q "^item $pid " "$work/watcher.out"; then
        pass "the icon registered with the watcher, from the same process"
    else failed "no item registered: $(cat "$work/watcher.out" "$work/watcher.err")"; fi
fi
window_hidden() { ! panel_window "$pid"; }
if wait_for 20 window_hidden; then pass "the window hid"; else
    failed "the window still shows"; fi
if kill -0 "$pid" 2>/dev/null; then pass "the program runs on"; else failed "the program ended"; fi
[ "$fail" = 0 ] || cat "$work/err"
exit $fail
