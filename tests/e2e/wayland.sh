#!/usr/bin/env bash
# The real program natively on Wayland: sway, headless, with swaybar's tray (a
# StatusNotifierItem host), driven over D-Bus as the bar does:
#   the item registers with the bar and exports its menu (About, Check Now, Exit);
#   "Check Now" finds a change: the popup floats at 441 x 192, and a screenshot shows
#   the card and nothing else (no key-colour pixel; its cut-away parts show the desktop);
#   mako, a notification server, shows the update's bubble where it does not cover the card;
#   the icon flashes, Activate stops it;
#   ContextMenu (what swaybar asks for on a right click) shows the main window with the
#   menu as its menu bar, floating at its own size: no window fills the screen;
#   the item's tooltip names the host and what the last check found;
#   "Exit" ends the program with status 0.
#   wayland.sh PROGRAM SOURCE_DIR
set -u
program=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"

wayland_desktop "$program" sni.py
# A real notification server of Wayland desktops, mako, with its own settings.
mako=0
if command -v mako >/dev/null; then
    as_desktop_user mako >"$KIT_TMP/mako.log" 2>&1 &
    kit_track $!
    mako_up() { as_desktop_user makoctl list; }
    wait_for 20 mako_up && mako=1 || failed "mako did not start: $(cat "$KIT_TMP/mako.log")"
fi
serve --growing --requests "$KIT_TMP/requests" || fatal "the page server did not start"
printf '"http://127.0.0.1:%s/page"\r\n1\r\n"chime.wav"\r\n' "$served_port" |
    as_desktop_user tee "$work/config.ini" >/dev/null
printf '<p>an earlier page</p>\r\n' | as_desktop_user tee "$work/data.orvl" >/dev/null

(cd "$work" && as_desktop_user_exec ./orvell) >"$KIT_TMP/out" 2>"$KIT_TMP/err" &
pid=$!
kit_track "$pid"
kit_details() { echo "--- program stderr ---"; cat "$KIT_TMP/err"; }

wayland_item
pass "the item registers with swaybar"
grep -q "Registering Status Notifier Item" "$KIT_TMP/sway.log" ||
    failed "swaybar did not take the item"
menu=$(sni menu | cut -d' ' -f2- | paste -sd,)
if [ "$menu" = "About,Check Now,Exit" ]; then pass "the exported menu: $menu"; else
    failed "the exported menu: '$menu'"; fi
[ -z "$(sway_tree)" ] || failed "windows show at start-up: $(sway_tree)"
# The tooltip the bar shows: the watched host and what its last check found.
tooltip_starts() { case "$(sni tooltip)" in "$1"*) return 0 ;; *) return 1 ;; esac; }
if wait_for 10 tooltip_starts "127.0.0.1:$served_port: not checked yet"; then
    pass "the tooltip before a check: $(sni tooltip)"
else failed "the tooltip before a check: '$(sni tooltip)'"; fi

# --- a change: the popup card ------------------------------------------------------------
base=$(sni icon)
sni click "Check Now"
if wait_for 20 tooltip_starts "127.0.0.1:$served_port: changed at "; then
    pass "the tooltip after the check: $(sni tooltip)"
else failed "the tooltip after the check: '$(sni tooltip)'"; fi
popup_line() { sway_tree | grep ' The watched site has been updated$'; }
if wait_for 20 popup_line; then
    read -r kind px py pw ph _ <<<"$(popup_line)"
    if [ "$kind $pw $ph" = "floating 441 192" ]; then pass "the popup floats at 441 x 192"; else
        failed "the popup: $(popup_line)"; fi
    # What the output shows where the popup is: each pixel of the card as in its
    # picture (the stamp's text aside), each cut-away pixel the desktop's own colour.
    wayland_screenshot "$KIT_TMP/popup.png"
    if PYTHONPATH="$(dirname "$0")" python3 - "$KIT_TMP/popup.png" \
        "$source_dir/resources/popup/background.png" "$px" "$py" <<'PY'
import sys
import ppm
sw, _, screen = ppm.load(sys.argv[1])
cw, _, card = ppm.load(sys.argv[2])
x0, y0 = int(sys.argv[3]), int(sys.argv[4])
at = lambda buf, w, x, y: buf[3 * (y * w + x):3 * (y * w + x) + 3]
magenta = b"\xff\x00\xff"
desktop = at(screen, sw, x0 - 5, y0 - 5)
keys = sum(1 for i in range(0, len(screen), 3) if screen[i:i + 3] == magenta)
stamp = (230, 155, 441, 190)  # the stamp's text, drawn over the footer strip
wrong_card = wrong_hole = 0
for y in range(192):
    for x in range(441):
        want = at(card, cw, x, y)
        got = at(screen, sw, x0 + x, y0 + y)
        if want == magenta:
            wrong_hole += got != desktop
        elif not (stamp[0] <= x < stamp[2] and stamp[1] <= y < stamp[3]):
            wrong_card += got != want
print(f"key-colour pixels on the screen: {keys}; card pixels not as drawn: {wrong_card}; "
      f"cut-away pixels not showing the desktop: {wrong_hole}")
sys.exit(0 if keys == 0 and wrong_card == 0 and wrong_hole == 0 else 1)
PY
    then pass "the screen shows the card and nothing else"; else failed "the popup's pixels"; fi
    # The update's notification, mako's bubble (found on the screen by its border's colour,
    # above the bar), beside the card: neither covers the other.
    if [ "$mako" = 1 ]; then
        bubble=""
        find_bubble() {
            wayland_screenshot "$KIT_TMP/bubble.png" &&
                bubble=$(PYTHONPATH="$(dirname "$0")" python3 - "$KIT_TMP/bubble.png" <<'PY'
import sys
import ppm
w, h, screen = ppm.load(sys.argv[1])
border = b"\x4c\x78\x99"  # mako's default border colour
points = [(p % w, p // w) for p in range(w * (h - 30)) if screen[3 * p:3 * p + 3] == border]
if not points:
    sys.exit(1)
xs, ys = [x for x, _ in points], [y for _, y in points]
print(max(xs) - min(xs) + 1, max(ys) - min(ys) + 1, min(xs), min(ys))
PY
                )
        }
        in_mako() { as_desktop_user makoctl list | grep -q "127.0.0.1:$served_port has changed"; }
        if wait_for 20 in_mako && wait_for 10 find_bubble; then
            read -r bw bh bx by <<<"$bubble"
            if [ $((px + pw)) -le "$bx" ] || [ "$px" -ge $((bx + bw)) ] ||
                [ $((py + ph)) -le "$by" ] || [ "$py" -ge $((by + bh)) ]; then
                pass "mako's bubble (${bw}x${bh} at $bx,$by) and the card (${pw}x${ph} at $px,$py) do not overlap"
            else failed "mako's bubble (${bw}x${bh} at $bx,$by) covers the card (${pw}x${ph} at $px,$py)"; fi
        else failed "no bubble of mako: $(as_desktop_user makoctl list)"; fi
    else echo "SKIP the notification beside the card: mako is not installed"; fi
else failed "no popup after the change"; kit_details; fi
if grep -q "^GET /page HTTP/1.1" "$KIT_TMP/requests"; then pass "the check reached the page"; else
    failed "no request"; fi

icon_is() { [ "$(sni icon)" = "$1" ]; }
icon_is_not() { [ "$(sni icon)" != "$1" ]; }
if wait_for 10 icon_is_not "$base" && wait_for 2 icon_is "$base"; then pass "the icon flashes"; else
    failed "the icon does not flash"; fi
sni call Activate
if wait_for 5 icon_is "$base" && holds 2 icon_is "$base"; then pass "Activate stopped the flashing"
else failed "the icon goes on flashing after Activate"; fi

# --- the menu asked for with ContextMenu ---------------------------------------------------
sni call ContextMenu
wayland_menu_bar_window "ContextMenu"
big=$(sway_tree | awk '$4 >= 1000 || $5 >= 700')
[ -z "$big" ] || failed "a window fills the screen: $big"

sni click "Exit"
ends_cleanly "$pid" "\"Exit\""
exit $fail
