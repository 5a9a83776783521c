#!/usr/bin/env bash
# "What changed", read as a screen reader reads it (AT-SPI) on a real X desktop (Xvfb, an
# XEmbed tray host, the accessibility bus of the test's own session bus):
#   the window alone (whatchanged_demo): every line of the difference with its sign,
#     "−" for a removed line, "+" for an added one, a space for an unchanged one, and the
#     folded stretch; "Older" asks for the older update; "Close" closes it.
#   the real program after a real update from the kit's loopback server (its clock
#     starts at 1:59:55 PM, so the schedule checks at 1:59:59 PM, and the page differs
#     from the snapshot): the About window holds the credits, the update log with the
#     update's line and its two buttons, and none of the working fields ("URL:", the
#     address, "GO", the times, the sizes); its "What changed" button opens the window,
#     whose text has the removed words on a "−" line and the added ones on "+" lines.
# Usage: what_changed.sh PATH_TO_ORVELL PATH_TO_WHATCHANGED_DEMO PATH_TO_SOURCE_TREE [SHOTS_DIR]
# With SHOTS_DIR the demo's window is saved there as what-changed.png (docs/).
set -u
program=$1
demo=$2
source_dir=$3
shots=${4:-}
source "$(dirname "$0")/desktop.sh"
# Every temporary file of this test, the harness's included, goes under the kit's folder.
export TMPDIR="$KIT_TMP"

# Debian's pyatspi is in the system's Python, which an earlier python3 in PATH may not see.
atspi() { /usr/bin/python3 "$(dirname "$0")/atspi_read.py" "$@"; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }

needs_faketime
kit_details() {
    for f in "$KIT_TMP"/demo.err "$KIT_TMP"/run/err; do
        [ -f "$f" ] && { echo "--- $f ---"; cat "$f"; }
    done
    return 0
}

desktop_start || fatal "the desktop did not start"
"$launcher" --launch-immediately >"$KIT_TMP/atspi.log" 2>&1 &
kit_track $!
a11y_bus() {
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress
}
wait_for 20 a11y_bus || fatal "the accessibility bus did not start"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
title='what changed at'

# has_line TEXT LINE: TEXT has LINE as one of its lines.
has_line() { grep -qxF -- "$2" <<<"$1"; }

# --- the window alone --------------------------------------------------------------------
"$demo" >"$KIT_TMP/demo.out" 2>"$KIT_TMP/demo.err" &
demo_pid=$!
kit_track "$demo_pid"
wait_for 30 atspi shown "$title" || fatal "a screen reader finds no window 'what changed'"
text=$(atspi text "$title" Changes) || fatal "a screen reader finds no text in the window"
missing=""
for line in "  Opening hours" "− Monday to Friday: 9 am to 5 pm" \
    "+ Monday to Friday: 8 am to 6 pm" "+ Closed on 24 and 25 December" \
    "− Soup of the day: tomato" "  … 6 unchanged lines …"; do
    has_line "$text" "$line" || missing+="[$line] "
done
if [ -z "$missing" ]; then
    pass "the window's lines read with their signs ($(wc -l <<<"$text") lines)"
else failed "lines a screen reader does not get: $missing; it gets: $text"; fi
if [ -n "$shots" ]; then
    shot_window=$(xdotool search --onlyvisible --name "$title" | head -1)
    import -window "$shot_window" "$shots/what-changed.png"
fi
atspi press "$title" Older || failed "no button Older"
if wait_for 10 grep -qx older "$KIT_TMP/demo.out"; then pass "Older asks for the older update"
else failed "Older asked for nothing"; fi
atspi press "$title" Close || failed "no button Close"
ends_cleanly "$demo_pid" "Close"

# --- the real program after a real update ----------------------------------------------
work="$KIT_TMP/run"
mkdir -p "$work/site" "$work/app/Sounds"
cp "$program" "$work/app/orvell"
cp "$source_dir/resources/Sounds/chime.wav" "$work/app/Sounds/"
KIT_PROGRAM=$program
page() {
    printf '<!DOCTYPE html><html><head><title>Harbour Caf&eacute;</title>'
    printf '<style>p { color: navy }</style><script>var opened = 1;</script></head><body>'
    printf '<h1>Harbour Caf&eacute;</h1><p>Opening hours: Monday to Friday, %s</p>' "$1"
    printf '<ul><li>Soup</li><li>Bread</li>%s</ul></body></html>\n' "$2"
}
page "9 am to 5 pm" "" >"$work/before.html"
page "8 am to 6 pm" "<li>Cake</li>" >"$work/site/index.html"
serve --page "$work/site/index.html" --requests "$work/requests" || fatal "the server did not start"
printf '"127.0.0.1:%s/"\r\n0\r\n"chime.wav"\r\n' "$served_port" >"$work/app/config.ini"
# The snapshot of an earlier check: the page before, as a check stores it.
{ cat "$work/before.html"; printf '\r\n'; } >"$work/app/data.orvl"
start_before_mark

wait_for 30 icon_window "$program_pid" || fatal "no tray icon"
icon=$(icon_window "$program_pid")
wait_for 30 grep -q '^GET / ' "$work/requests" || fatal "no check"

# "About", the first entry of the tray icon's menu.
click_window "$icon" 3
wait_for 10 menu_window "$program_pid" || fatal "no menu"
xdotool key Down Return
wait_for 10 panel_window "$program_pid" || fatal "About showed no window"
log_line="list item 'Update found at 12/8/2026 1:59:59 PM'"
about_has_update() { atspi tree "with:What changed" | grep -qF "$log_line"; }
wait_for 20 about_has_update || fatal "the About window's log has no update: $(atspi tree)"
about=$(atspi tree "with:What changed")
missing=""
for needed in "push button 'Clear'" "push button 'What changed'" "$log_line" "list 'Update log'"; do
    grep -qF "$needed" <<<"$about" || missing+="[$needed] "
done
working=$(grep -E "'URL:'|'GO'|127\.0\.0\.1|^ +text " <<<"$about")
labels=$(grep -cE "^ +label " <<<"$about")
if [ -z "$missing" ] && [ -z "$working" ] && [ "$labels" = 7 ]; then
    pass "the About window reads as it looks: credits, log, Clear and What changed"
else
    failed "the About window reads: missing $missing; working fields: $working; $labels labels"
    echo "$about"
fi

atspi press "with:What changed" "What changed" || fatal "the button What changed cannot be pressed"
wait_for 30 atspi shown "$title" || fatal "the button What changed opened no window 'what changed'"
wait_for 30 atspi text "$title" Changes || fatal "the window has no text"
read_changes() {
    text=$(atspi text "$title" Changes) && ! has_line "$text" "Working…"
}
wait_for 30 read_changes || fatal "the window stays at Working…"
name=$(atspi tree "$title" | head -1)
# The host as config.ini writes it, its port kept (as the tooltip and the notification have it).
grep -qF "127.0.0.1:$served_port: what changed at 12/8/2026 1:59:59 PM" <<<"$name" ||
    failed "the window's title: $name"
if grep -qE '^− .*9 am to 5 pm' <<<"$text" && grep -qE '^\+ .*8 am to 6 pm' <<<"$text" &&
    has_line "$text" "+ Cake"; then
    pass "the update's removed words on a − line, the added ones on + lines"
else failed "the window reads: $text"; fi
kill -0 "$program_pid" 2>/dev/null || fatal "the program ended"
exit $fail
