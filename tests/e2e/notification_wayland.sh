#!/usr/bin/env bash
# A notification's action raising the "What changed" window natively on Wayland: the real
# program on sway (headless, swaybar's tray), a scripted notification server on the
# session bus (notify_server.py), and an update from the kit's loopback server.
#   - a click on the notification, with the window not yet open: the window maps and
#     sway focuses it (a new window needs no token)
#   - the window open behind the About window, an action without a token: sway leaves
#     the focus where it is
#   - the same with the token a server takes from sway (xdg-activation, asked for by
#     activation_token.py) sent before the action: sway's default
#     focus_on_window_activation (urgent) marks the window urgent; set to focus, it
#     focuses the window (and, without the token, still leaves the focus where it is)
#   - "Open page" with a token: the browser (a stub xdg-open) starts with it as
#     XDG_ACTIVATION_TOKEN
#   notification_wayland.sh PROGRAM
set -u
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/desktop.sh"

wayland_desktop "$program" sni.py notify_server.py activation_token.py
log="$DESKTOP_USER_DIR/notify.log"
as_desktop_user touch "$log"
as_desktop_user "$DESKTOP_USER_DIR/notify_server.py" "$log" >"$KIT_TMP/server.err" 2>&1 &
kit_track $!
server_up() { as_desktop_user gdbus introspect --session --dest org.freedesktop.Notifications \
    --object-path /org/freedesktop/Notifications >/dev/null 2>&1; }
wait_for 20 server_up || fatal "the notification server did not come on the bus"

watch_growing_page 0
# The browser: a stub first in PATH that writes down the address and the token it got.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$1 ${XDG_ACTIVATION_TOKEN:-none}" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
[ "$(id -u)" = 0 ] && chown -R "$DESKTOP_USER" "$work"
(cd "$work" && PATH="$work/bin:$PATH" as_desktop_user_exec ./orvell) >"$KIT_TMP/out" 2>"$KIT_TMP/err" &
pid=$!
kit_track "$pid"
kit_details() {
    echo "--- program stderr ---"; cat "$KIT_TMP/err"
    echo "--- notifications ---"; cat "$log"
    echo "--- windows ---"; windows
}

wayland_item

# windows: sway's windows, one a line: "focused|- urgent|- ID NAME".
windows() {
    as_desktop_user swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("type") in ("con", "floating_con") and node.get("pid"):
        print("focused" if node["focused"] else "-", "urgent" if node["urgent"] else "-",
              node["id"], node.get("name") or "")
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}
what_changed() { windows | grep ' what changed at '; }
# state_is STATE: the "What changed" window is focused, urgent or neither ("-").
state_is() {
    case "$1" in
    focused) what_changed | grep -q '^focused ' ;;
    urgent) what_changed | grep -q '^- urgent ' ;;
    -) what_changed | grep -q '^- - ' ;;
    esac
}
# The About window: the program's other window (its title is the connection's state).
about() { windows | grep -v ' what changed at ' | grep .; }
about_focused() { about | grep -q '^focused '; }
focus_about() {
    as_desktop_user swaymsg "[con_id=$(about | cut -d' ' -f3)] focus" >/dev/null
    wait_for 10 about_focused
}
click() { as_desktop_user "$DESKTOP_USER_DIR/notify_server.py" click "$id" "$@"; }
# after_click STATE WHAT: the window ends in STATE within 10 s and stays in it for 1 s.
after_click() {
    if wait_for 10 state_is "$1" && holds 1 state_is "$1"; then pass "$2: $(what_changed)"
    else failed "$2: $(what_changed)"; fi
}

sni click "Check Now"
notified() { grep -q '^NOTIFY ' "$log"; }
wait_for 30 notified || fatal "no notification of the update"
read -r _ id summary <<<"$(grep '^NOTIFY ' "$log" | tail -1)"
pass "the update's notification: $summary"

click default
wait_for 20 what_changed || fatal "the click opened no \"What changed\" window"
after_click focused "a click, the window new"

sni click "About"
wait_for 20 about_focused || fatal "the About window did not come: $(windows)"
click what-changed
after_click - "\"What changed\", the window behind About, no token"

# sway's own setting first: focus the window a token activates.
as_desktop_user swaymsg focus_on_window_activation focus >/dev/null
focus_about || fatal "the About window could not be focused"
click what-changed
after_click - "\"What changed\" without a token, focus_on_window_activation focus"
token=$(as_desktop_user "$DESKTOP_USER_DIR/activation_token.py") || fatal "sway gave no token"
click what-changed "$token"
after_click focused "\"What changed\" with sway's token, focus_on_window_activation focus"

# Then sway's default: a window a token activates is marked urgent.
as_desktop_user swaymsg focus_on_window_activation urgent >/dev/null
focus_about || fatal "the About window could not be focused"
token=$(as_desktop_user "$DESKTOP_USER_DIR/activation_token.py") || fatal "sway gave no token"
click what-changed "$token"
after_click urgent "\"What changed\" with sway's token, focus_on_window_activation urgent"

# "Open page" hands the token on to the browser it starts.
token=$(as_desktop_user "$DESKTOP_USER_DIR/activation_token.py") || fatal "sway gave no token"
click open-page "$token"
opened() { grep -q . "$work/opened"; }
if wait_for 10 opened && grep -qx "http://127.0.0.1:$served_port/page $token" "$work/opened"; then
    pass "\"Open page\": the browser started with the token"
else failed "\"Open page\": $(cat "$work/opened" 2>/dev/null)"; fi
exit $fail
