#!/usr/bin/env bash
# A real notification server on a headless X desktop, for the program's end-to-end test:
# Debian's dunst on Xvfb, on a session bus of its own without service folders (nothing
# is started by activation: dunst runs because this script starts it). notify-send posts
# a bubble as the program will; the script checks that dunst took it (its name on the
# bus, the bubble's window on the screen), prints where the bubble is and keeps a
# screenshot.
#   notification_bubble.sh SOURCE_DIR [SHOTS_DIR]
# Exit status 77: dunst, notify-send, Xvfb or ImageMagick is not installed (a skip).
set -u
source_dir=$1
shots=${2:-}
for tool in dunst notify-send Xvfb dbus-daemon xdotool import gdbus; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$(dirname "$0")/../support/kit.sh"
tmp=$KIT_TMP

# The X server picks a free display and names it on a pipe.
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
kit_track $!
read -r -t 20 num <&"$fd" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$num

bus=$(dbus-daemon --config-file="$source_dir/tests/support/privatebus.conf" --fork \
    --print-address=1 --print-pid=1) || { echo "dbus-daemon did not start" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
kit_track "$(echo "$bus" | sed -n 2p)"

# dunst with Debian's own settings (/etc/xdg/dunst/dunstrc): no user's file is read.
export XDG_CONFIG_HOME="$tmp/config" HOME="$tmp/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"
dunst >"$tmp/dunst.log" 2>&1 &
kit_track $!
server_info() {
    gdbus call --session --dest org.freedesktop.Notifications \
        --object-path /org/freedesktop/Notifications \
        --method org.freedesktop.Notifications.GetServerInformation
}
if wait_for 20 server_info; then pass "dunst owns the name: $(server_info)"; else
    failed "dunst did not come on the bus"; cat "$tmp/dunst.log"; exit 1; fi
caps=$(gdbus call --session --dest org.freedesktop.Notifications \
    --object-path /org/freedesktop/Notifications \
    --method org.freedesktop.Notifications.GetCapabilities)
echo "capabilities: $caps"

# A notice as the program will post it: its name, its icon as a file, its launcher, two
# actions and a default one.
icon="file://$source_dir/resources/icons/hicolor/64x64/orvell.png"
notify-send --app-name=ORVELL --icon="$icon" --hint=string:desktop-entry:orvell \
    "example.com has changed" "Tickets on sale now for the spring concerts" &
kit_track $!
bubble() { xdotool search --onlyvisible --class Dunst | head -1 | grep .; }
if wait_for 20 bubble; then pass "a bubble shows"; else
    failed "no bubble on the screen"; cat "$tmp/dunst.log"; exit 1; fi
win=$(bubble)
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "bubble: ${WIDTH}x${HEIGHT} at $X,$Y on a 1024x768 screen"
if [ $((X + WIDTH)) -gt 900 ] && [ "$Y" -lt 200 ]; then
    pass "dunst puts its bubbles in the top right corner"
else failed "the bubble is not in the top right corner"; fi

shot="$tmp/bubble.png"
[ -n "$shots" ] && mkdir -p "$shots" && shot="$shots/notification_bubble.png"
import -window root "$shot"
# Some of the bubble's pixels differ from the empty screen's black.
colours=$(convert "$shot" -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage -format %k info:)
if [ "$colours" -gt 2 ]; then pass "the screenshot shows the bubble ($colours colours in it): $shot"
else failed "the bubble's place on the screenshot is flat ($colours colours)"; fi
exit $fail
