#!/usr/bin/env bash
# The desktop's notification of an update, end to end: the real program on Xvfb with an
# XEmbed tray, Debian's dunst as the notification server on the test's own session bus,
# and a page on the kit's loopback server that differs from the snapshot. The program's
# clock starts at 1:59:55 PM, so the schedule checks at 1:59:59 PM and finds the change.
#   - the card shows, then one notification reaches dunst: "HOST has changed", the first
#     added line of the page's text as its body, the launcher's name as desktop-entry
#   - dunst draws its bubble (a screenshot keeps it), in its corner, and the card's place
#     is measured beside it
#   - the bubble's default action (dunstctl action 0) opens the "What changed" window
#   - "Exit" (the program's --exit) closes the notification on its way out
# Usage: notification.sh PATH_TO_ORVELL PATH_TO_SOURCE_TREE [SCREENSHOT_DIR]
# With SCREENSHOT_DIR the screen with the bubble is saved there as notification.png.
set -uo pipefail
program=$1
source_dir=$2
shots=${3:-}
for tool in dunst dunstctl dbus-monitor xdotool import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
source "$(dirname "$0")/desktop.sh"
needs_faketime
export TMPDIR="$KIT_TMP"
desktop_start || fatal "the desktop did not start"
xsetroot -solid '#3b7a57'

work="$KIT_TMP/run"
mkdir -p "$work/site" "$work/app/Sounds" "$work/config" "$work/home"
cp "$program" "$work/app/orvell"
cp "$source_dir/resources/Sounds/chime.wav" "$work/app/Sounds/"
cp "$source_dir/resources/icons/hicolor/64x64/orvell.png" "$work/app/orvell.png"
kit_details() {
    echo "--- program stderr ---"; cat "$work/err" 2>/dev/null
    echo "--- Notify calls ---"; cat "$work/notify.log" 2>/dev/null
}

# dunst with Debian's own settings (/etc/xdg/dunst/dunstrc): no user's file is read.
XDG_CONFIG_HOME="$work/config" HOME="$work/home" dunst >"$work/dunst.log" 2>&1 &
kit_track $!
dunst_up() { dunstctl is-paused; }
wait_for 20 dunst_up || fatal "dunst did not come on the bus"
# Every Notify call on the bus, as the server receives it.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications'" \
    >"$work/notify.log" 2>&1 &
kit_track $!

printf '<html><head><title>Concerts</title><style>p{}</style></head><body>\n<p>Concert dates</p>\n<p>Tickets on sale now for the spring concerts</p>\n</body></html>\n' \
    >"$work/site/index.html"
KIT_PROGRAM=$program
serve --page "$work/site/index.html" || fatal "the server did not start"
printf '"127.0.0.1:%s/"\r\n1\r\n"chime.wav"\r\n' "$served_port" >"$work/app/config.ini"
printf '<html><body>\n<p>Concert dates</p>\n</body></html>\n\r\n' >"$work/app/data.orvl"
printf 'text/html\n' >"$work/app/data.type"
host="127.0.0.1:$served_port"

start_before_mark

notified() { grep -q "string \"$host has changed\"" "$work/notify.log"; }
if wait_for 30 notified; then pass "the update reached the notification server"; else
    fatal "no Notify call for $host"; fi
if grep -A2 "string \"$host has changed\"" "$work/notify.log" |
    grep -q 'string "Tickets on sale now for the spring concerts"'; then
    pass "its body is the first added line of the page's text"
else failed "the body is not the first added line"; fi
grep -q 'string "ORVELL"' "$work/notify.log" && pass "application name ORVELL" ||
    failed "no application name ORVELL"
grep -A1 'string "desktop-entry"' "$work/notify.log" | grep -q 'string "orvell"' &&
    pass "the hint desktop-entry names the launcher" || failed "no desktop-entry hint"
grep -q "string \"file://$work/app/orvell.png\"" "$work/notify.log" &&
    pass "the icon is the picture beside the program" || failed "no icon beside the program"
[ "$(grep -c 'member=Notify' "$work/notify.log")" = 1 ] && pass "one notification" ||
    failed "$(grep -c 'member=Notify' "$work/notify.log") notifications"

bubble() { xdotool search --onlyvisible --class Dunst | head -1 | grep .; }
if wait_for 20 bubble; then pass "dunst shows the bubble"; else fatal "no bubble on the screen"; fi
eval "$(xdotool getwindowgeometry --shell "$(bubble)")"
bx=$X by=$Y bw=$WIDTH bh=$HEIGHT
echo "bubble: ${bw}x${bh} at $bx,$by on a 1024x768 screen"
# The card: the program's one shown window of its size (the tray icon's is small).
card() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -ge 200 ] && [ "$HEIGHT" -ge 100 ] && { echo "$w"; return 0; }
    done
    return 1
}
if cardwin=$(card); then
    eval "$(xdotool getwindowgeometry --shell "$cardwin")"
    echo "card: ${WIDTH}x${HEIGHT} at $X,$Y"
    if [ $((X + WIDTH)) -le "$bx" ] || [ "$X" -ge $((bx + bw)) ] || [ $((Y + HEIGHT)) -le "$by" ] ||
        [ "$Y" -ge $((by + bh)) ]; then pass "the card and the bubble do not overlap"
    else failed "the card and the bubble overlap"; fi
else
    failed "the card is not on the screen beside the bubble"
fi
shot="$work/notification.png"
[ -n "$shots" ] && mkdir -p "$shots" && shot="$shots/notification.png"
import -window root "$shot" && echo "screenshot: $shot"

# A click on the bubble is its default action: the "What changed" window opens.
dunstctl action 0
window() { xdotool search --onlyvisible --name "what changed" | head -1 | grep .; }
if wait_for 20 window; then
    pass "the bubble's action opened \"$(xdotool getwindowname "$(window)")\""
else failed "no \"what changed\" window after the bubble's action"; fi

# "Exit" takes the notification away on the program's way out.
(cd "$work/app" && ./orvell --exit >/dev/null 2>&1)
wait_for 20 process_gone "$program_pid" && pass "the program ended" || failed "the program stays"
closed() { grep -q 'member=CloseNotification' "$work/notify.log"; }
wait_for 5 closed && pass "Exit closed the notification" || failed "no CloseNotification at Exit"
exit $fail
