#!/usr/bin/env bash
# The real program on an X desktop whose tray is a StatusNotifierItem host (as KDE's,
# or GNOME's with the AppIndicator extension), driven over D-Bus as such a host does:
# the item registers and exports its menu (About, Check Now, Exit); its tooltip names the
# watched host, "not checked yet", then what the check found and when; a "clicked" event on
# "Check Now" checks the loopback page and the icon flashes (its pixels change), both
# icons with a picture at each size trays ask for (16 to 64 pixels); the middle click raises nothing; Activate (a left click) stops the flashing; a host that
# asks for the menu with ContextMenu gets one menu, at the pointer; "Exit" ends the
# program with status 0.
#   sni_tray.sh PROGRAM
set -u
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"

program_copy "$program"
kit_details() { cat "$work/err"; }
desktop_start --sni || fatal "the desktop did not start"

watch_growing_page
start_program

wait_for 30 grep -q . "$DESKTOP_SNI_ITEMS" || fatal "no item registered"
pass "the item registers with the tray"
read -r service path <"$DESKTOP_SNI_ITEMS"
sni() { "$here/sni.py" "$1" "$service" "$path" "${@:2}"; }
grep -q "no notification area" "$work/err" && failed "the program found no tray"
[ -z "$(_visible_windows "$pid")" ] || failed "windows show at start-up: $(_visible_windows "$pid")"

menu=$(sni menu | cut -d' ' -f2- | paste -sd,)
if [ "$menu" = "About,Check Now,Exit" ]; then pass "the exported menu: $menu"; else
    failed "the exported menu: '$menu' (Menu is $(sni get Menu))"; fi

# The tooltip names the watched host and what its last check found.
host="127.0.0.1:$served_port"
tooltip_is() { [ "$(sni tooltip)" = "$1" ]; }
tooltip_starts() { case "$(sni tooltip)" in "$1"*) return 0 ;; *) return 1 ;; esac; }
if wait_for 10 tooltip_is "$host: not checked yet"; then pass "the tooltip before a check: $(sni tooltip)"
else failed "the tooltip before a check: '$(sni tooltip)'"; fi

# "Check Now" from the host's menu: the page is fetched, it has changed, the icon flashes.
base=$(sni icon)
sni click "Check Now"
if wait_for 20 grep -q "^GET /page HTTP/1.1" "$work/requests"; then
    pass "\"Check Now\" fetched the page from the loopback server"
else failed "\"Check Now\" fetched nothing"; fi
if wait_for 10 tooltip_starts "$host: changed at "; then pass "the tooltip after the check: $(sni tooltip)"
else failed "the tooltip after the check: '$(sni tooltip)'"; fi
icon_is() { [ "$(sni icon)" = "$1" ]; }
flashed=""
icon_is_not() {
    local now
    now=$(sni icon)
    [ "$now" != "$1" ] && flashed=$now
}
if wait_for 10 icon_is_not "$base" && wait_for 2 icon_is "$base"; then
    pass "the icon alternates while it flashes"
else failed "the icon does not flash after a change"; fi
# Both icons reach the tray with a picture at every size trays ask for.
sizes="16x16 20x20 22x22 24x24 32x32 44x44 48x48 64x64"
if [ "${base#* }" = "$sizes" ] && [ "${flashed#* }" = "$sizes" ]; then
    pass "the base and the flash icon in the sizes $sizes"
else failed "the icons' sizes: base '${base#* }', flash '${flashed#* }'"; fi

# The middle click raises nothing: no menu, no window, the flashing goes on.
sni call SecondaryActivate
if wait_for 2 icon_is_not "$base" && wait_for 2 icon_is "$base" &&
    [ -z "$(_visible_windows "$pid")" ]; then
    pass "the middle click changes nothing"
else failed "after the middle click: windows '$(_visible_windows "$pid")'"; fi

sni call Activate
if wait_for 5 icon_is "$base" && holds 2 icon_is "$base"; then
    pass "Activate stopped the flashing"
else failed "the icon goes on flashing after Activate"; fi

# A host that does not draw the menu asks for it: one menu, at the pointer.
eval "$(xdotool getmouselocation --shell)"
px=$X py=$Y
sni call ContextMenu
if wait_for 10 menu_window "$pid"; then
    shown=$(_visible_windows "$pid" | wc -l)
    eval "$(xdotool getwindowgeometry --shell "$(menu_window "$pid")")"
    if [ "$shown" = 1 ] && [ "$X,$Y" = "$px,$py" ]; then pass "ContextMenu pops one menu at the pointer"
    else failed "ContextMenu: $shown windows, the menu at $X,$Y, the pointer at $px,$py"; fi
    xdotool key Escape
    wait_for 5 no_window "$pid" ||
        failed "the menu stayed open"
else failed "ContextMenu showed no menu"; fi

sni click "About"
if wait_for 10 panel_window "$pid"; then pass "\"About\" shows the panel"; else
    failed "\"About\" showed no panel"; fi

sni click "Exit"
ends_cleanly "$pid" "\"Exit\""
exit $fail
