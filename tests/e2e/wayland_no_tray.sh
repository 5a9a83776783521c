#!/usr/bin/env bash
# The real program natively on Wayland without a tray (sway, headless, its bar without
# one): standard error says so, the main window shows at once with the menu as its menu
# bar, floating at its own size, and closing it as the compositor does ends the program
# with status 0.
#   wayland_no_tray.sh PROGRAM
set -u
source "$(dirname "$0")/desktop.sh"

wayland_desktop --no-tray "$1"
printf '"http://127.0.0.1:9/"\r\n0\r\n"chime.wav"\r\n' | as_desktop_user tee "$work/config.ini" >/dev/null

(cd "$work" && as_desktop_user_exec ./orvell) >"$KIT_TMP/out" 2>"$KIT_TMP/err" &
pid=$!
kit_track "$pid"

kit_details() { cat "$KIT_TMP/kill" "$KIT_TMP/err" 2>/dev/null; sway_tree; }
wayland_menu_bar_window "without a tray" || { kit_details; exit 1; }
if grep -q "no notification area (system tray) is available" "$KIT_TMP/err"; then
    pass "standard error says there is no tray"
else failed "standard error: $(cat "$KIT_TMP/err")"; fi

as_desktop_user swaymsg "[pid=$pid] kill" >"$KIT_TMP/kill" 2>&1
ends_cleanly "$pid" "closing the window"
exit $fail
