#!/usr/bin/env bash
# Clicks the real tray icon of a TaskBarIcon under Xvfb with an XEmbed tray host and
# checks which events it raises, and in which order:
#   left click   -> LeftClick
#   double click -> LeftClick, LeftDbClick, LeftClick
#   right click  -> RightClick
# Usage: tray_clicks.sh PATH_TO_TRAYHOST
set -euo pipefail
host_binary=$1
# Every temporary file of this test, the harness's included, goes under one directory.
own_tmp=$(mktemp -d)
export TMPDIR="$own_tmp"
source "$(dirname "$0")/desktop.sh"
# desktop_stop waits for killed processes, whose status would end it early under
# set -e: run it without, and keep this script's own status.
trap 'rc=$?; set +e; desktop_stop; rm -rf "$own_tmp"; exit $rc' EXIT
desktop_start

# The host runs from a directory of its own.
workdir="$DESKTOP_TMP/run"
mkdir -p "$workdir"
cp "$host_binary" "$workdir/trayhost"
out="$workdir/events.txt"
cd "$workdir"
./trayhost >"$out" 2>"$workdir/stderr.txt" &
host_pid=$!
_desktop_pids=("$host_pid" "${_desktop_pids[@]}")

fail() {
    echo "FAIL: $*" >&2
    echo "--- events ---" >&2; cat "$out" >&2
    echo "--- host stderr ---" >&2; cat "$workdir/stderr.txt" >&2
    exit 1
}

wait_for 30 grep -qx ready "$out" || fail "the icon was not shown"
win=""
find_icon() { win=$(tray_icon_window trayhost) && [ -n "$win" ]; }
wait_for 20 find_icon || fail "no embedded tray icon window"
find_icon

events() { grep -v '^ready$' "$out" || true; }
count_is() { [ "$(events | wc -l)" -eq "$1" ]; }

# Clicks closer than ~400 ms make a double click: each gesture waits for its events,
# then for the double-click time to pass.
click_window "$win" 1
wait_for 20 count_is 1 || fail "left click: no event"
sleep 0.7

click_window "$win" 1 2
wait_for 20 count_is 4 || fail "double click: not three events"
sleep 0.7

click_window "$win" 3
wait_for 20 count_is 5 || fail "right click: no event"
sleep 0.5 # nothing more may follow

expected="LeftClick Button=1 x=514
LeftClick Button=1 x=514
LeftDbClick Button=1 x=515
LeftClick Button=1 x=514
RightClick Button=1 x=517"
[ "$(events)" = "$expected" ] || fail "events differ from: $expected"
echo "PASS: $(events | tr '\n' ';')"
