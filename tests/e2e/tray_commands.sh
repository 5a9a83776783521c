#!/usr/bin/env bash
# The tray commands of the real program on a real X desktop with an XEmbed tray host,
# driven by real clicks: the right-click menu and its order, "Check Now" fetching from a
# loopback server and the icon flashing, a left click stopping the flashing, the tooltip
# shown where the pointer rests on the icon, "About" with only the credits panel visible,
# a double click opening the home page, "Exit".
#   tray_commands.sh PROGRAM [SHOTS_DIR]
# With SHOTS_DIR, the screenshots of the menu, the tooltip and the panel are kept there.
set -u
program=$1
shots=${2:-}
source "$(dirname "$0")/desktop.sh"

program_copy "$program"
mkdir -p "$work/bin"
# The browser: a stub first in PATH that writes down the address it is asked to open.
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
echo "\$1" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
kit_details() { cat "$work/err"; }

desktop_start || fatal "the desktop did not start"

# The watched page, on the loopback interface; a snapshot from an earlier check.
watch_growing_page
start_program PATH="$work/bin:$PATH"

wait_for 30 icon_window "$pid" || fatal "no tray icon"
icon=$(icon_window "$pid")
pass "the icon is in the tray"
grep -q "no notification area" "$work/err" && failed "the program found no tray"
if [ -n "$(panel_window "$pid")" ]; then failed "a window shows at start-up"; fi

base=$(window_picture "$icon")

# --- a right click opens the menu: three entries ------------------------------------------------
click_window "$icon" 3
wait_for 10 menu_window "$pid" || fatal "right click opened no menu"
menu=$(menu_window "$pid")
menus=$(_visible_windows "$pid" | awk '$2 > 64 && $2 != 461 && $3 > 20' | wc -l)
[ "$menus" = 1 ] || failed "a right click opened $menus menus"
screenshot "$work/menu.png"
eval "$(xdotool getwindowgeometry --shell "$menu")"
rows=$(text_rows "$work/menu.png" "$((X + 1))" "$((Y + 1))" "$((WIDTH - 2))" "$((HEIGHT - 2))")
if [ "$rows" = 3 ]; then pass "the menu shows three entries"; else failed "menu rows: $rows"; fi
[ -n "$shots" ] && convert "$work/menu.png" -crop "$((WIDTH + 130))x$((HEIGHT + 30))+$((X - 110))+0" \
    +repage "$shots/tray-menu.png"

# The second entry is "Check Now": the page is fetched, it has changed, the icon flashes.
xdotool key Down Down Return
if wait_for 20 grep -q "^GET /page HTTP/1.1" "$work/requests"; then
    pass "the second entry fetched the page from the loopback server"
else failed "the second entry fetched nothing"; fi
wait_for 10 window_hidden "$pid" "$menu" ||
    failed "the menu stayed open"
if wait_for 10 picture_is_not "$icon" "$base"; then pass "the icon flashes"; else
    failed "the icon does not flash after a change"; fi

# --- a left click stops the flashing ------------------------------------------------------------
click_window "$icon" 1
if wait_for 5 picture_is "$icon" "$base" && holds 2 picture_is "$icon" "$base"; then
    pass "a left click stopped the flashing"
else failed "the icon goes on flashing after a left click"; fi
if [ -n "$(panel_window "$pid")" ]; then failed "a left click showed the window"; fi

# --- the pointer resting on the icon shows the tooltip: one line of text ---------------------
# (what it says is read over D-Bus by sni_tray.sh; here Qt has to show it on an XEmbed tray)
tooltip_window() {
    _visible_windows "$pid" | awk -v icon="$icon" '$1 != icon && $2 != 461 && $2 > 64 {
        print $1; found = 1; exit } END { exit !found }'
}
xdotool mousemove 500 400
eval "$(xdotool getwindowgeometry --shell "$icon")"
ix=$X iy=$Y iw=$WIDTH ih=$HEIGHT
xdotool mousemove "$((ix + iw / 2 - 1))" "$((iy + ih / 2))" sleep 0.1 \
    mousemove "$((ix + iw / 2))" "$((iy + ih / 2))"
if wait_for 10 tooltip_window; then
    tip=$(tooltip_window)
    eval "$(xdotool getwindowgeometry --shell "$tip")"
    screenshot "$work/tooltip.png"
    rows=$(text_rows "$work/tooltip.png" "$((X + 1))" "$((Y + 1))" "$((WIDTH - 2))" "$((HEIGHT - 2))")
    if [ "$rows" = 1 ]; then pass "the tooltip shows, one line ${WIDTH}x${HEIGHT} pixels"; else
        failed "tooltip rows: $rows"; fi
    if [ -n "$shots" ]; then
        left=$((X < ix ? X : ix)) right=$((X + WIDTH > ix + iw ? X + WIDTH : ix + iw))
        left=$((left > 40 ? left - 40 : 0))
        convert "$work/tooltip.png" -crop "$((right + 20 - left))x$((Y + HEIGHT + 12))+$left+0" \
            +repage "$shots/tray-tooltip.png"
    fi
    xdotool mousemove 500 400
    wait_for 10 window_hidden "$pid" "$tip" ||
        failed "the tooltip stayed"
else failed "no tooltip on the icon"; fi

# The first entry is "About": it shows the credits panel.
click_window "$icon" 3
wait_for 10 menu_window "$pid" || fatal "no menu for About"
menu=$(menu_window "$pid")
xdotool key Down Return
wait_for 10 panel_window "$pid" || fatal "the first entry did not show the panel"
pass "the first entry shows the panel"
wait_for 10 window_hidden "$pid" "$menu" ||
    failed "the menu stayed open"

# --- only the credits, the log, "Clear" and "What changed" are visible ----------------------
panel=$(panel_window "$pid")
eval "$(xdotool getwindowgeometry --shell "$panel")"
if [ "${WIDTH}x${HEIGHT}" = "461x127" ]; then pass "the panel is 461x127"; else
    failed "panel size ${WIDTH}x${HEIGHT}"; fi
screenshot "$work/about.png"
# Text boxes and lists are drawn white: the one white field must be the update log
# (the bevels of "Clear" and "What changed" have white edges too).
if only_white_inside "$work/about.png" "$X" "$Y" "$WIDTH" "$HEIGHT" "112 64 337 55" \
    "16 80 89 17" "16 102 89 17"; then
    pass "no working field shows: the log is the only white field"
else failed "a white field other than the log shows"; fi
rows=$(text_rows "$work/about.png" "$X" "$Y" 461 60)
if [ "$rows" = 3 ]; then pass "three credit lines"; else failed "credit lines: $rows"; fi
rows=$(text_rows "$work/about.png" "$((X + 114))" "$((Y + 66))" 333 51)
if [ "$rows" = 1 ]; then pass "the update log shows the update found"; else
    failed "update log lines: $rows"; fi
[ -n "$shots" ] && convert "$work/about.png" -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage \
    "$shots/about-panel.png"

# --- a double click opens the home page -------------------------------------------------------
click_window "$icon" 1 2
if wait_for 15 grep -qx "http://orvell.example.org/" "$work/opened"; then
    pass "a double click opened the home page"
else failed "a double click opened: $(cat "$work/opened" 2>/dev/null)"; fi

# --- "Exit", the third entry, removes the icon and ends the program with status 0 -----------
click_window "$icon" 3
wait_for 10 menu_window "$pid" || fatal "no menu for Exit"
xdotool key Down Down Down Return
ends_cleanly "$pid" "Exit"
if icon_window "$pid" >/dev/null; then failed "the icon stayed"; else
    pass "the icon left the tray"; fi
[ "$(wc -l <"$work/opened")" = 1 ] || failed "addresses opened: $(cat "$work/opened")"
exit $fail
