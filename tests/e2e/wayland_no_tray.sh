#!/usr/bin/env bash
# The real program natively on Wayland without a tray (sway, headless, its bar without
# one): standard error says so, the main window shows at once with the menu as its menu
# bar, floating at its own size, and closing it as the compositor does ends the program
# with status 0.
#   wayland_no_tray.sh PROGRAM
set -u
source "$(dirname "$0")/desktop.sh"

desktop_start --wayland-no-tray
started=$?
[ "$started" = 77 ] && exit 77
[ "$started" = 0 ] || exit 1
program_copy "$1"
printf '"http://127.0.0.1:9/"\r\n0\r\n"chime.wav"\r\n' | as_desktop_user tee "$work/config.ini" >/dev/null

(cd "$work" && as_desktop_user_exec ./orvell) >"$DESKTOP_TMP/out" 2>"$DESKTOP_TMP/err" &
pid=$!
_desktop_pids+=("$pid")

wayland_menu_bar_window "without a tray" || { cat "$DESKTOP_TMP/err"; exit 1; }
if grep -q "no notification area (system tray) is available" "$DESKTOP_TMP/err"; then
    pass "standard error says there is no tray"
else failed "standard error: $(cat "$DESKTOP_TMP/err")"; fi

as_desktop_user swaymsg "[pid=$pid] kill" >"$DESKTOP_TMP/kill" 2>&1
if wait_for 15 bash -c "! kill -0 $pid 2>/dev/null"; then
    wait "$pid"
    status=$?
    if [ "$status" = 0 ]; then pass "closing the window ended the program with status 0"; else
        failed "closing the window: status $status"; fi
else failed "the program still runs after its window was closed: $(cat "$DESKTOP_TMP/kill"; sway_tree; cat "$DESKTOP_TMP/err")"; fi
exit $fail
