#!/usr/bin/env bash
# The real program started on an X desktop before its tray: it shows its stand-in
# window; three seconds later the tray comes up, the icon goes there and the window
# hides, in the same process. Then the tray goes away: the window shows again; the
# tray comes back: the icon goes there again and the window hides.
#   tray_later.sh PROGRAM xembed   # trayer, an XEmbed tray
#   tray_later.sh PROGRAM sni      # a StatusNotifierItem watcher and host on the bus
set -u
program=$1
kind=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"

program_copy "$program"
printf '"http://127.0.0.1:9/"\r\n0\r\n"chime.wav"\r\n' >"$work/config.ini"
kit_details() { cat "$work/err"; }

desktop_start --no-tray || fatal "the desktop did not start"
start_program
wait_for 30 panel_window "$pid" || fatal "no window shows"
pass "without a tray the window shows"

# The item's bus connection belongs to the program's process (after a fresh start there).
item_pid() {
    local service
    service=$(awk 'NR == 1 { print $1 }' "$DESKTOP_SNI_ITEMS")
    [ -n "$service" ] && gdbus call --session --dest org.freedesktop.DBus \
        --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$service"
}
# tray_comes_up WHEN: the tray host starts; the icon goes there and the window hides.
tray_comes_up() {
    if [ "$kind" = xembed ]; then
        desktop_start_tray || fatal "$1: the tray host did not start"
        if wait_for 20 icon_window "$pid"; then pass "$1: the icon is embedded in the tray"; else
            failed "$1: no icon in the tray"; fi
    else
        desktop_start_tray --sni || fatal "$1: the tray watcher did not start"
        if wait_for 30 item_pid && [ "$(item_pid)" = "(uint32 $pid,)" ]; then
            pass "$1: the icon registered with the watcher, from the same process"
        else failed "$1: items: $(cat "$DESKTOP_SNI_ITEMS"), $(item_pid 2>&1)"; fi
    fi
    if wait_for 20 panel_hidden; then pass "$1: the window hid"; else
        failed "$1: the window still shows"; fi
}
panel_hidden() { ! panel_window "$pid"; }

sleep 3 # the desktop's panel comes up after the program: the delay is the case itself
tray_comes_up "late tray"

desktop_stop_tray # the panel goes away while the program runs
if wait_for 20 panel_window "$pid"; then pass "without the tray the window shows again"; else
    failed "no window shows after the tray went"; fi
tray_comes_up "tray back"
if kill -0 "$pid" 2>/dev/null; then pass "the program runs on"; else failed "the program ended"; fi
[ "$fail" = 0 ] || kit_details
exit $fail
