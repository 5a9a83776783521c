#!/usr/bin/env bash
# The install for one user, into a home of its own (HOME and the XDG folders point into
# a temporary directory): the program's folder with its defaults, the link on the PATH,
# a valid launcher and autostart entry; a second install keeps the edited config.ini.
# Then on an X desktop with a tray: the program started through its link from another
# working directory keeps its files in its own folder; a second start through the link
# shows the first one's window and ends with status 0; a copy in another folder runs
# beside it. The uninstall keeps config.ini and the snapshot, and --purge removes them.
#   install.sh BUILD_DIR
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
source "$here/desktop.sh"

export HOME="$KIT_TMP/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
prefix="$HOME/.local"
folder="$prefix/lib/orvell"
mkdir -p "$HOME/elsewhere"

install() {
    cmake --install "$build" --prefix "$prefix" >"$KIT_TMP/install.log" 2>&1 &&
        cmake --install "$build" --prefix "$prefix" --component autostart \
            >>"$KIT_TMP/install.log" 2>&1 ||
        fatal "the install: $(cat "$KIT_TMP/install.log")"
}
install

# --- what the install puts where --------------------------------------------------------------
[ "$(readlink -f "$prefix/bin/orvell")" = "$folder/orvell" ] && [ -x "$folder/orvell" ] &&
    pass "the link on the PATH leads to the program in its own folder" ||
    failed "bin/orvell: $(ls -l "$prefix/bin" 2>&1)"
[ -f "$folder/config.ini" ] && [ -f "$folder/Sounds/chime.wav" ] &&
    pass "config.ini and Sounds/ are beside it" || failed "folder: $(ls -R "$folder")"
# png_size FILE: "WIDTH HEIGHT" of a PNG picture.
png_size() {
    python3 -c 'import struct, sys
head = open(sys.argv[1], "rb").read(24)
assert head[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG picture"
print(*struct.unpack(">II", head[16:24]))' "$1"
}
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x$size/apps/orvell.png"
    [ "$(png_size "$icon" 2>&1)" = "$size $size" ] ||
        failed "no $size x $size icon in the hicolor theme: $(png_size "$icon" 2>&1 | tail -1)"
done
for entry in "$XDG_DATA_HOME/applications/orvell.desktop" "$XDG_CONFIG_HOME/autostart/orvell.desktop"; do
    if out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ]; then
        pass "$(basename "$(dirname "$entry")")/orvell.desktop is valid"
    else failed "$entry: ${out:-missing}"; fi
done
exec_line=$(sed -n 's/^Exec=//p' "$XDG_DATA_HOME/applications/orvell.desktop")
[ "$exec_line" = "\"$folder/orvell\"" ] || failed "the launcher runs $exec_line"

desktop_start || fatal "the desktop did not start"
KIT_PROGRAM="$build/orvell" # the web server is found beside it when ORVELL_SERVE is not set
serve --growing --requests "$KIT_TMP/requests" || fatal "the page server did not start"
printf '"http://127.0.0.1:%s/page"\r\n0\r\n"chime.wav"\r\n' "$served_port" >"$folder/config.ini"
cp "$folder/config.ini" "$KIT_TMP/edited.ini"
install
cmp -s "$folder/config.ini" "$KIT_TMP/edited.ini" && pass "a second install keeps config.ini" ||
    failed "a second install replaced config.ini"

# --- started through its link ----------------------------------------------------------------
cd "$HOME/elsewhere"
PATH="$prefix/bin:$PATH" orvell >"$KIT_TMP/first.out" 2>"$KIT_TMP/first.err" &
pid=$!
kit_track "$pid"
kit_details() { cat "$KIT_TMP/first.err"; }
wait_for 30 icon_window "$pid" || fatal "no tray icon"
# "Check Now", the menu's second entry: the snapshot goes into the program's folder.
click_window "$(icon_window "$pid")" 3
wait_for 10 menu_window "$pid" && xdotool key Down Down Return
if wait_for 20 test -s "$folder/data.orvl"; then pass "the check's snapshot is in the program's folder"
else failed "no data.orvl in $folder: $(cat "$KIT_TMP/first.err")"; fi
[ -z "$(ls -A "$HOME/elsewhere")" ] || failed "files in the working directory: $(ls -A)"

# --- a second start from the same folder, one from another --------------------------------
PATH="$prefix/bin:$PATH" timeout 30 orvell >/dev/null 2>"$KIT_TMP/second.err"
status=$?
if [ "$status" = 0 ] && grep -q "already running from $folder" "$KIT_TMP/second.err"; then
    pass "a second start through the link ends with status 0, saying so"
else failed "second start: status $status, $(cat "$KIT_TMP/second.err")"; fi
if wait_for 10 panel_window "$pid"; then pass "the running one shows its window"; else
    failed "the running one's window did not show"; fi

mkdir "$HOME/second"
cp -r "$folder/orvell" "$folder/config.ini" "$folder/Sounds" "$HOME/second"
"$HOME/second/orvell" >/dev/null 2>"$KIT_TMP/other.err" &
other=$!
kit_track "$other"
if wait_for 30 icon_window "$other" && kill -0 "$pid"; then
    pass "a copy in another folder runs beside it, with its own icon"
else failed "the copy in another folder: $(cat "$KIT_TMP/other.err")"; fi
kill "$pid" "$other"
wait "$pid" "$other" 2>/dev/null

# --- uninstall -----------------------------------------------------------------------------------
"$tools/uninstall.sh" --prefix "$prefix" >"$KIT_TMP/uninstall.log" 2>&1 ||
    failed "the uninstall: $(cat "$KIT_TMP/uninstall.log")"
left=$(cd "$HOME" && find . -path ./second -prune -o -path ./elsewhere -prune -o -type f -print |
    sort | tr '\n' ' ')
# data.type is the snapshot's content type, written beside it at every stored check.
if [ "$left" = "./.local/lib/orvell/config.ini ./.local/lib/orvell/data.orvl ./.local/lib/orvell/data.type " ]; then
    pass "the uninstall leaves only config.ini and the snapshot (with its type)"
else failed "left after the uninstall: $left"; fi
cmp -s "$folder/config.ini" "$KIT_TMP/edited.ini" || failed "the uninstall changed config.ini"
"$tools/uninstall.sh" --prefix "$prefix" --purge >/dev/null 2>&1
[ ! -e "$folder" ] && pass "--purge removes the program's folder" || failed "--purge left $folder"
exit $fail
