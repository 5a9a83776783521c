#!/usr/bin/env bash
# The Windows program, deployed as users get it, under Wine on a real X desktop (Xvfb with
# trayer: Wine's notification area docks its icons there), in private network and mount
# namespaces, against the test kit's web server on the Linux side.
#   http:  the icon docks; at the schedule's mark (the clock set by libfaketime) the exact
#          request reaches the server; data.orvl becomes the body + CR LF; the change shows
#          the shaped popup, makes the icon flash and shows the tray's balloon, its title
#          and first added line read off the screen (its click is a skip: Wine sends no
#          balloon-click message); a left click stops it; the menu's "Check Now" checks
#          again; the About window's "What changed" opens the update's window, whose lines
#          are read off the screen; "Exit" ends the program, its icon gone.
#   https: through Schannel, with the test CA as the system's only trusted authority: the
#          page is stored; a certificate of another authority is refused before any request.
#   200%:  the popup is the card doubled in shape and drawn from its 2x picture.
# Usage: wine_e2e.sh BUILD_DIR SOURCE_DIR LINUX_ORVELL_SERVE
# BUILD_DIR is the Windows build tree: the program's folder is installed from it afresh.
set -euo pipefail
build=$1 source_dir=$2 serve_bin=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1

if [ "${ORVELL_WINE_E2E_INSIDE:-}" != 1 ]; then
    for tool in wine xdotool trayer Xvfb; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    [ -f "$faketime_lib" ] || { echo "SKIP: libfaketime is not installed"; exit 77; }
    [ -x "$serve_bin" ] || { echo "SKIP: no Linux build of the test kit's server (orvell_serve)"; exit 77; }
    userns=()
    [ "$(id -u)" -ne 0 ] && userns=(-r)
    unshare "${userns[@]}" -m -n true 2>/dev/null ||
        { echo "SKIP: no private network and mount namespaces here (unshare -m -n)"; exit 77; }
    exec unshare "${userns[@]}" -m -n -- env ORVELL_WINE_E2E_INSIDE=1 bash "$0" "$@"
fi

# --- inside the namespaces ---------------------------------------------------------------
mount --make-rprivate / 2>/dev/null || true
ip link set lo up
export ORVELL_SERVE=$serve_bin
source "$source_dir/tests/e2e/desktop.sh"
kit_at_exit 'wineserver -k 2>/dev/null'
kit_details() {
    echo "--- program's folder:"; ls -la "$app" 2>/dev/null
    echo "--- program's output:"; { grep -v '^ALSA lib' "$KIT_TMP/out" || true; } | tail -20
    echo "--- windows shown:"
    local w
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        echo "$w $(xdotool getwindowgeometry "$w" 2>/dev/null | tr -s '\n ' ' ') $(xdotool getwindowname "$w" 2>/dev/null)"
    done
}

# The system's trust store of this namespace: the test CA alone; orvell.test is 127.0.0.1.
tls="$source_dir/tests/support/tls"
mkdir "$KIT_TMP/certs"
cp "$tls/ca.pem" "$KIT_TMP/certs/ca-certificates.crt"
ln -s ca-certificates.crt "$KIT_TMP/certs/$(openssl x509 -hash -noout -in "$tls/ca.pem").0"
mount --bind "$KIT_TMP/certs" /etc/ssl/certs
printf '127.0.0.1 localhost\n127.0.0.1 orvell.test\n' >"$KIT_TMP/hosts"
mount --bind "$KIT_TMP/hosts" /etc/hosts

desktop_start
xsetroot -solid '#3b7a57'
# A Wine prefix of this test's own, so that Wine's desktop (and its tray) is this display's.
export WINEPREFIX="$KIT_TMP/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM
wineboot -i >/dev/null 2>&1 || fatal "wineboot"

# The program's folder, as the zip holds it: nothing of it comes from elsewhere.
app="$KIT_TMP/ORVELL"
cmake --install "$build" --prefix "$app" >/dev/null || fatal "install"

# run_program START: starts orvell.exe from its folder with the clock at START.
run_program() {
    (cd "$app" && LD_PRELOAD=$faketime_lib FAKETIME="@$1" FAKETIME_DONT_FAKE_MONOTONIC=1 \
        exec wine orvell.exe >"$KIT_TMP/out" 2>&1) &
    program_pid=$!
}
program_ended() { ! kill -0 "$program_pid" 2>/dev/null; }
icon=""
find_icon() { icon=$(tray_icon_window explorer.exe) && [ -n "$icon" ]; }
icon_pixels() { import -window "$icon" rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
requests() { grep -c '^GET ' "$1" 2>/dev/null || true; }
popup_window() { xdotool search --onlyvisible --name '^The watched site has been updated$' 2>/dev/null | head -1; }
popup_shown() { [ -n "$(popup_window)" ]; }
# flashing: the icon alternates between two pictures; they go to $shown.
flashing() {
    local first second=""
    first=$(icon_pixels)
    other_picture() { second=$(icon_pixels) && [ "$second" != "$first" ]; }
    wait_for 2 other_picture || return 1
    shown="$first $second"
}
# the_menu: the tray menu's window, while it shows.
menu=""
the_menu() {
    menu=$(xdotool search --onlyvisible --classname orvell.exe 2>/dev/null | while read -r w; do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$HEIGHT" -gt 30 ] && [ "$HEIGHT" -lt 200 ] && [ "$WIDTH" -lt 400 ] && echo "$w"
    done | head -1)
    [ -n "$menu" ]
}
no_menu() { ! the_menu; }
# click_icon BUTTON: a click on the docked icon, near its top edge: the balloon's box
# reaches down over the icon's lower half, and a click there would land on the balloon.
click_icon() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + 3))" click "$1"
}
# menu_entry N: clicks the Nth of the tray menu's three entries ("About", "Check Now", "Exit").
# Once the menu is drawn (its picture holds still), the pointer goes onto the entry, and
# the click follows when the menu marks the entry under the pointer (its picture
# changes); should it mark none, the click goes after 2 s all the same.
menu_entry() {
    click_icon 3
    wait_for 10 the_menu || return 1
    local before="" X Y WIDTH HEIGHT
    drawn() { before=$(window_picture "$menu") && holds 0.3 picture_is "$menu" "$before"; }
    wait_for 3 drawn || true
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT * (2 * $1 - 1) / 6))"
    wait_for 2 picture_is_not "$menu" "$before" || true
    xdotool click 1
}

# --- http -------------------------------------------------------------------------------
mkdir "$KIT_TMP/site"
printf 'the page, as it is now\n' >"$KIT_TMP/site/index.html"
serve --page "$KIT_TMP/site/index.html" --requests "$KIT_TMP/requests" || fatal "server"
http_port=$served_port
printf '"127.0.0.1:%s/"\r\n1\r\n"chime.wav"\r\n' "$served_port" >"$app/config.ini"
printf 'an earlier, longer version of the page\r\n' >"$app/data.orvl"
run_program "2026-12-08 13:59:47"

wait_for 30 find_icon && pass "the icon docks in the tray" || fatal "no icon in the tray"
wait_for 40 test -s "$KIT_TMP/requests" || fatal "no check at the mark"
expected=$(printf 'GET / HTTP/1.1\r\nHost: 127.0.0.1:%s\r\nAccept: */*\r\nConnection: close\r\n\r\n' "$served_port" | od -An -c)
[ "$(od -An -c "$KIT_TMP/requests")" = "$expected" ] && pass "the exact request at the mark" ||
    failed "the request: $(od -c "$KIT_TMP/requests")"
wait_for 10 popup_shown || fatal "no popup after the change"
snapshot_ok() { cmp -s "$app/data.orvl" <(printf 'the page, as it is now\n\r\n'); }
wait_for 5 snapshot_ok && pass "data.orvl holds the body and CR LF" || failed "data.orvl: $(od -c "$app/data.orvl" | head -3)"
[ ! -e "$app/data.tmp" ] && pass "no data.tmp after the check" || failed "data.tmp left behind"
python3 "$source_dir/tests/e2e/popup_shape.py" "$(popup_window)" \
    "$source_dir/resources/popup/background.png" 1 && pass "the popup has the card's shape" ||
    failed "the popup's shape"
flashing && pass "the icon flashes" || failed "the icon does not flash"
# The update's notification: the tray icon's balloon, which Wine's tray draws as a small
# window of its own (a balloon tooltip of explorer.exe, larger than the docked icon).
balloon() {
    local w X Y WIDTH HEIGHT
    for w in $(xdotool search --onlyvisible --classname explorer.exe 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -ge 100 ] && [ "$HEIGHT" -ge 30 ] && { echo "$w"; return 0; }
    done
    return 1
}
# Its words, read off the screen (the balloon's window has no name of its own): the title,
# then the first added line of the page's text. Its picture is taken once drawn and read
# after the click below, which then comes as soon after the balloon as it always did.
balloon_text=""
read_balloon() {
    convert "$KIT_TMP/balloon.png" -resize 300% "$KIT_TMP/balloon-3x.png" &&
        balloon_text=$(tesseract "$KIT_TMP/balloon-3x.png" - 2>/dev/null | tr -s ' \n' '  ') &&
        case "$balloon_text" in *"127.0.0.1:$http_port has changed"*"as it is now"*) ;; *) return 1 ;; esac
}
balloon_drawn() {
    local picture
    picture=$(window_picture "$(balloon)") && holds 0.3 picture_is "$(balloon)" "$picture"
}
balloon_seen=0
if wait_for 10 balloon; then
    balloon_seen=1
    wait_for 3 balloon_drawn || true
    import -window "$(balloon)" "$KIT_TMP/balloon.png" 2>/dev/null || true
    # Where it shows beside the card: they must not cover each other's words.
    eval "$(xdotool getwindowgeometry --shell "$(balloon)")"
    bx=$X by=$Y bw=$WIDTH bh=$HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$(popup_window)")"
    if [ $((X + WIDTH)) -le "$bx" ] || [ "$X" -ge $((bx + bw)) ] || [ $((Y + HEIGHT)) -le "$by" ] ||
        [ "$Y" -ge $((by + bh)) ]; then
        pass "the balloon (${bw}x${bh} at $bx,$by) and the card (${WIDTH}x${HEIGHT} at $X,$Y) do not overlap"
    else failed "the balloon (${bw}x${bh} at $bx,$by) covers the card (${WIDTH}x${HEIGHT} at $X,$Y)"; fi
else failed "no balloon after the update"; fi
echo "SKIP the balloon's click opening \"What changed\": Wine sends no balloon-click message" \
    "(NIN_BALLOONUSERCLICK), so the click cannot be delivered here"
sleep 0.7 # a left click, not half of a double click: a span of time, nothing to be seen
click_icon 1
# One of its two pictures stays (under Wine the icon as first docked is drawn a little
# differently from the same icon set again, so it is not compared with that).
icon_is() { [ "$(icon_pixels)" = "$1" ]; }
steady() {
    local a
    a=$(icon_pixels)
    case " $shown " in *" $a "*) holds 1.2 icon_is "$a" ;; *) return 1 ;; esac
}
wait_for 5 steady && pass "a left click stops the flashing" || failed "the icon still flashes after a left click"
if [ "$balloon_seen" = 1 ]; then
    if ! command -v tesseract >/dev/null; then
        pass "the update's balloon shows"
        echo "SKIP reading the balloon's words: tesseract is not installed"
    elif read_balloon; then
        pass "the update's balloon shows: $balloon_text"
    else failed "the balloon does not read its title and the page's first added line: $balloon_text"; fi
fi

menu_entry 2 || fatal "no tray menu"
wait_for 15 test "$(requests "$KIT_TMP/requests")" -ge 2 && pass "Check Now checks" ||
    failed "no check after Check Now"
wait_for 10 no_menu || true # the menu closed before it is opened again

# "What changed", from the About window's button: the kept update, read off the screen.
menu_entry 1 || fatal "no tray menu for About"
about_window() {
    xdotool search --onlyvisible --classname orvell.exe 2>/dev/null | while read -r w; do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -ge 461 ] && [ "$WIDTH" -lt 500 ] && echo "$w"
    done | head -1 | grep .
}
changes_window() { xdotool search --onlyvisible --name ' what changed at ' 2>/dev/null | head -1 | grep .; }
changes_text=""
read_changes() {
    import -window "$(changes_window)" -resize 200% "$KIT_TMP/changes.png" 2>/dev/null &&
        changes_text=$(tesseract "$KIT_TMP/changes.png" - 2>/dev/null | tr -s ' \n' '  ') &&
        case "$changes_text" in *"earlier, longer version"*"the page, as it"*) ;; *) return 1 ;; esac
}
if wait_for 15 about_window; then
    # Wine draws the frame inside the window: the client area (461 x 127) sits at its
    # bottom, the frame's width on each side; the button is at 16,102, 89 x 17.
    eval "$(xdotool getwindowgeometry --shell "$(about_window)")"
    frame=$(((WIDTH - 461) / 2))
    xdotool mousemove "$((X + frame + 60))" "$((Y + HEIGHT - frame - 127 + 110))" click 1
    if wait_for 15 changes_window; then
        pass "the About window's button opens \"$(xdotool getwindowname "$(changes_window)")\""
        if ! command -v tesseract >/dev/null; then
            echo "SKIP reading the window's lines: tesseract is not installed"
        elif wait_for 10 read_changes; then
            pass "it shows the removed and the added line: $changes_text"
        else failed "its lines: $changes_text"; fi
        # Esc, on the keyboard (the window has the focus), closes it.
        xdotool key Escape
        no_changes_window() { ! changes_window; }
        wait_for 10 no_changes_window && pass "Esc closes it" || failed "Esc did not close it"
        # The About window goes too (Alt+F4): while a window of the program has the focus,
        # Wine's tray at times opens no menu on a right click.
        xdotool windowfocus --sync "$(about_window)" key alt+F4
        no_about_window() { ! about_window; }
        wait_for 10 no_about_window || failed "Alt+F4 did not close the About window"
    else failed "no \"What changed\" window after the About window's button"; fi
else failed "no About window"; fi

menu_entry 3 || fatal "no tray menu for Exit"
wait_for 20 program_ended && pass "Exit ends the program" || failed "the program did not end"
gone() { ! tray_icon_window explorer.exe >/dev/null; }
wait_for 10 gone && pass "its icon is gone" || failed "the icon stayed"

# --- https ------------------------------------------------------------------------------
# https_run CERTIFICATE: one check of https://orvell.test:PORT/ served with that certificate.
# The page comes with its length: Wine's Schannel does not tell the server's close alert from
# a connection that just ends, so there a reply without its length never counts as whole.
https_run() {
    : >"$KIT_TMP/requests-$1"
    serve --tls "$1" --size 5000 --requests "$KIT_TMP/requests-$1" \
        --accepted "$KIT_TMP/accepted-$1" || fatal "https server"
    printf '"https://orvell.test:%s/"\r\n0\r\n"chime.wav"\r\n' "$served_port" >"$app/config.ini"
    printf 'a snapshot\r\n' >"$app/data.orvl"
    run_program "2026-12-08 13:59:49"
    wait_for 30 find_icon || fatal "no icon in the tray"
}
https_run good
https_stored() { [ "$(stat -c %s "$app/data.orvl")" = 5002 ]; }
wait_for 40 https_stored && pass "an https page through Schannel is stored" ||
    fatal "https page not stored: $(od -c "$app/data.orvl" | head -2); connections: $(wc -l <"$KIT_TMP/accepted-good")"
kill "$program_pid"; wineserver -w 2>/dev/null || true

https_run untrusted
wait_for 40 test -s "$KIT_TMP/accepted-untrusted" || fatal "no check at the mark"
# A request, had the certificate been taken, would have come before the connection ended.
# (Should it stay open, the checks below tell what came over it by then.)
connection_ended() { [ -z "$(ss -Htn state established "( sport = :$served_port )")" ]; }
wait_for 20 connection_ended || true
[ "$(requests "$KIT_TMP/requests-untrusted")" = 0 ] &&
    pass "a certificate of another authority gets no request" || failed "a request went to an untrusted server"
cmp -s "$app/data.orvl" <(printf 'a snapshot\r\n') && pass "the snapshot stays" || failed "the snapshot changed"
kill "$program_pid"; wineserver -w 2>/dev/null || true

# --- a screen at 200% (192 dots per inch) ---------------------------------------------------
wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1 || fatal "setting the screen's density"
printf '"127.0.0.1:%s/"\r\n1\r\n"chime.wav"\r\n' "$http_port" >"$app/config.ini"
printf 'a snapshot\r\n' >"$app/data.orvl"
run_program "2026-12-08 13:59:55"
wait_for 40 popup_shown || fatal "no popup at 200%"
python3 "$source_dir/tests/e2e/popup_shape.py" "$(popup_window)" \
    "$source_dir/resources/popup/background.png" 2 && pass "at 200% the popup has the card's shape doubled" ||
    failed "the popup's shape at 200%"
eval "$(xdotool getwindowgeometry --shell "$(popup_window)")"
screenshot "$KIT_TMP/root.png"
python3 "$source_dir/tests/e2e/popup_2x.py" "$KIT_TMP/root.png" "$X" "$Y" "$source_dir/resources/popup" &&
    pass "at 200% the card is drawn from its 2x picture" || failed "the card at 200%"
kill "$program_pid"
exit $fail
