#!/usr/bin/env bash
# The whole update notification on a real desktop (Xvfb, a coloured root window, an
# XEmbed tray host): the real program watches a page on a loopback server. Its clock
# starts at 1:59:55 PM, so the schedule checks at 1:59:59 PM and again at 2:00:59 PM.
#   start-up:     no popup window is ever mapped (it is shaped while hidden)
#   first check:  the page is as in the snapshot -> no popup, the icon does not flash
#   (the page then grows)
#   second check: the popup card appears, centred, and its window's shape is exactly
#                 the non-magenta pixels of its picture; the tray icon alternates
#                 between its two icons; the popup hides itself at its timer's tick.
# With --scale 2 the program runs with QT_SCALE_FACTOR=2 and the page has changed
# already at the first check: the card's shape is its picture's, each pixel doubled,
# and the screen shows the card drawn at 2x (background@2x.png) where that shape is,
# never the key colour.
# Usage: update_popup.sh [--scale 2] PATH_TO_ORVELL PATH_TO_SOURCE_TREE [SCREENSHOT_DIR]
# With SCREENSHOT_DIR, the popup on the desktop and the flashing icon are saved there
# (docs/popup-on-desktop.png, docs/tray-flashing.png; at scale 2 with "-2x" added).
set -euo pipefail
scale=1
if [ "${1:-}" = "--scale" ]; then
    scale=$2
    shift 2
fi
program=$1
source_dir=$2
shots=${3:-}
suffix=""
[ "$scale" = 1 ] || suffix="-${scale}x"
source "$(dirname "$0")/desktop.sh"
# Every temporary file of this test, the harness's included, goes under the kit's folder.
export TMPDIR="$KIT_TMP"
needs_faketime
desktop_start || fatal "the desktop did not start"
xsetroot -solid '#3b7a57'

work="$KIT_TMP/run"
mkdir -p "$work/site" "$work/app/Sounds"
cp "$program" "$work/app/orvell"
cp "$source_dir/resources/Sounds/chime.wav" "$work/app/Sounds/"
printf 'first version of the page\n' >"$work/site/index.html"

kit_details() {
    echo "--- program stderr ---"
    cat "$work/err" || true
}

# The page, on 127.0.0.1 with a port of the system's choosing.
KIT_PROGRAM=$program
serve --page "$work/site/index.html" --requests "$work/requests" || fatal "the server did not start"

printf '"127.0.0.1:%s/"\r\n1\r\n"chime.wav"\r\n' "$served_port" >"$work/app/config.ini"
# The snapshot equals the first version: the first check finds no change. At another
# scale the first check finds the change.
if [ "$scale" = 1 ]; then
    printf 'first version of the page\n\r\n' >"$work/app/data.orvl"
else
    printf 'an earlier, longer version of the page\n\r\n' >"$work/app/data.orvl"
fi

map_watch "$work/mapped"
scaled=()
[ "$scale" = 1 ] || scaled=("QT_SCALE_FACTOR=$scale")
start_before_mark "${scaled[@]}"

icon=""
find_icon() { icon=$(tray_icon_window orvell) && [ -n "$icon" ]; }
wait_for 30 find_icon || fatal "no embedded tray icon window"
find_icon

# The icon's pixels, as text that can be compared.
icon_pixels() { import -window "$icon" rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
popup_window() { xdotool search --onlyvisible --name '^The watched site has been updated$' 2>/dev/null | head -1; }
popup_shown() { [ -n "$(popup_window)" ]; }
requests() { grep -c '^GET / ' "$work/requests" 2>/dev/null || true; }
requests_at_least() { [ "$(requests)" -ge "$1" ]; }

base=$(icon_pixels)

if [ "$scale" = 1 ]; then
    # --- first check: no change -------------------------------------------------------
    wait_for 30 requests_at_least 1 || fatal "no first check"
    unchanged() {
        popup_shown && { why="popup shown although the page did not change"; return 1; }
        [ "$(icon_pixels)" = "$base" ] || { why="the icon changed although the page did not"; return 1; }
    }
    holds 1.8 unchanged || fatal "$why"
    pass "first check: no change, no popup, no flashing"
fi
popup_mapped() { grep -q ' The watched site has been updated$' "$work/mapped"; }
popup_mapped && fatal "the popup was mapped at start-up"
pass "start-up: no popup window was mapped"

# --- second check (at scale 2 the first): the page has grown ------------------------
if [ "$scale" = 1 ]; then
    printf 'second version of the page, which is longer\n' >"$work/site/index.html"
fi
wait_for 90 popup_shown || fatal "no popup after the page changed"
popup=$(popup_window)
if [ "$scale" = 1 ]; then
    requests_at_least 2 || fatal "popup without a second check"
fi
wait_for 5 popup_mapped || fatal "the popup's mapping was not seen"

# The shape: compare the window's bounding shape with the picture's non-key pixels.
python3 "$(dirname "$0")/popup_shape.py" "$popup" "$source_dir/resources/popup/background.png" "$scale" ||
    fatal "popup shape"
pass "popup shown with the card's shape"
if [ -n "$shots" ]; then
    eval "$(xdotool getwindowgeometry --shell "$popup")"
    screenshot "$work/root.png"
    convert "$work/root.png" -crop "$((WIDTH + 80))x$((HEIGHT + 80))+$((X - 40))+$((Y - 40))" +repage \
        "$shots/popup-on-desktop$suffix.png"
fi

# At scale 2: where the shape is, the screen shows the card drawn at 2x (the card's
# colour where the picture's rounded outline leaves a pixel of the shape uncovered),
# never the key colour; the stamp, right of column 240 in the footer, is left out.
if [ "$scale" = 2 ]; then
    eval "$(xdotool getwindowgeometry --shell "$popup")"
    screenshot "$work/root.png"
    python3 "$(dirname "$0")/popup_2x.py" "$work/root.png" "$X" "$Y" "$source_dir/resources/popup" ||
        fatal "the card at scale 2 is not the 2x picture"
    pass "the card is drawn at 2x"
fi

# --- the tray icon alternates between its two icons -------------------------------
seen=()
changes=0
last=""
# Sixteen looks at the icon, 0.2 s apart: a measurement over time, not a wait.
for _ in $(seq 16); do
    p=$(icon_pixels)
    [ -n "$last" ] && [ "$p" != "$last" ] && changes=$((changes + 1))
    last=$p
    seen+=("$p")
    if [ -n "$shots" ] && [ "$changes" -le 1 ]; then
        import -window "$icon" "$work/icon-$changes.png" 2>/dev/null
    fi
    sleep 0.2
done
distinct=$(printf '%s\n' "${seen[@]}" | sort -u | wc -l)
[ "$distinct" -eq 2 ] || fatal "the icon shows $distinct different pictures, not 2"
printf '%s\n' "${seen[@]}" | grep -qx "$base" || fatal "the base icon never shows while flashing"
[ "$changes" -ge 3 ] || fatal "the icon changed only $changes times"
pass "tray icon flashing: $changes changes between 2 pictures"
if [ -n "$shots" ]; then
    convert "$work/icon-0.png" "$work/icon-1.png" -scale 400% -bordercolor '#3b7a57' \
        -border 8 +append "$shots/tray-flashing$suffix.png"
fi

# --- the popup's own timer hides it ------------------------------------------------
popup_hidden() { ! popup_shown; }
wait_for 25 popup_hidden || fatal "the popup did not hide itself"
kill -0 "$program_pid" 2>/dev/null || fatal "the program ended"
pass "update popup and flashing tray icon"
exit $fail
