#!/usr/bin/env bash
# Clicks the real tray icon of a TaskBarIcon under Xvfb with an XEmbed tray host and
# checks which events it raises, and in which order:
#   left click   -> LeftClick
#   double click -> LeftClick, LeftDbClick, LeftClick
#   right click  -> RightClick
# Usage: tray_clicks.sh PATH_TO_TRAYHOST
set -euo pipefail
host_binary=$1
source "$(dirname "$0")/desktop.sh"
# Every temporary file of this test, the harness's included, goes under the kit's folder.
export TMPDIR="$KIT_TMP"
desktop_start || fatal "the desktop did not start"

# The host runs from a directory of its own.
workdir="$KIT_TMP/run"
mkdir -p "$workdir"
cp "$host_binary" "$workdir/trayhost"
out="$workdir/events.txt"
cd "$workdir"
./trayhost >"$out" 2>"$workdir/stderr.txt" &
kit_track $!
kit_details() {
    echo "--- events ---"; cat "$out"
    echo "--- host stderr ---"; cat "$workdir/stderr.txt"
}

wait_for 30 grep -qx ready "$out" || fatal "the icon was not shown"
win=""
find_icon() { win=$(tray_icon_window trayhost) && [ -n "$win" ]; }
wait_for 20 find_icon || fatal "no embedded tray icon window"
find_icon

events() { grep -v '^ready$' "$out" || true; }
count_is() { [ "$(events | wc -l)" -eq "$1" ]; }

# Clicks closer than ~400 ms make a double click: each gesture waits for its events,
# then for the double-click time to pass (a span of time, nothing to be seen: a sleep).
click_window "$win" 1
wait_for 20 count_is 1 || fatal "left click: no event"
sleep 0.7

click_window "$win" 1 2
wait_for 20 count_is 4 || fatal "double click: not three events"
sleep 0.7

click_window "$win" 3
wait_for 20 count_is 5 || fatal "right click: no event"
holds 0.5 count_is 5 || fatal "events after the right click's"

expected="LeftClick Button=1 x=514
LeftClick Button=1 x=514
LeftDbClick Button=1 x=515
LeftClick Button=1 x=514
RightClick Button=1 x=517"
[ "$(events)" = "$expected" ] || fatal "events differ from: $expected"
pass "$(events | tr '\n' ';')"
exit $fail
