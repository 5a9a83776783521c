#!/usr/bin/env bash
# The setup program under Wine, in a fresh Wine prefix of the test's own, on Xvfb with
# trayer as the tray host:
# - a silent install with the start at login: the program's folder in the user's Programs
#   folder (the files of the program's folder, byte for byte, and the uninstaller), the
#   program's icon in orvell.exe, the Start-menu shortcut, the entries in the list of
#   installed programs and in the Run key;
# - the installed program started, its icon docked in the tray (under Wine a window of
#   explorer.exe);
# - a second install while it runs ends it first (orvell.exe --exit) and keeps the edited
#   config.ini, the snapshot and the start at login, and replaces the program's files;
# - the silent uninstall, run in place (_?=) while the program runs again, ends it and
#   leaves config.ini, the snapshot, the kept versions and a sound of the user's own, and nothing else
#   of ours: no shortcut, no Uninstall or Run entry; with /PURGE none of those either;
# - a silent install without /AUTOSTART does not start it at login.
#   tests/windows/installer.sh SETUP.exe FOLDER   (FOLDER: the program's folder it holds)
set -u
setup=$1
folder=$2
if ! command -v wine >/dev/null || ! command -v makensis >/dev/null; then
    echo "SKIP: wine and makensis (packages wine, nsis) are needed"
    exit 77
fi
[ -f "$setup" ] || { echo "SKIP: no setup program $setup: ./tools/windows.sh makes it"; exit 77; }
version=$(basename "$setup" .exe)
version=${version#orvell-setup-}

source "$(dirname "$0")/../e2e/desktop.sh"
desktop_start || fatal "the desktop did not start"
# The program is a Windows program: Qt's platform there is Windows' own.
unset QT_QPA_PLATFORM
export WINEPREFIX="$KIT_TMP/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
kit_at_exit 'wineserver -k 2>/dev/null'
wineboot -i >/dev/null 2>&1 || fatal "no Wine prefix"

winvar() { wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r'; }
windir="$(winvar LOCALAPPDATA)\\Programs\\ORVELL" # as Windows names it
dir=$(winepath -u "$windir")
menu="$(winepath -u "$(winvar APPDATA)")/Microsoft/Windows/Start Menu/Programs"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVELL'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
# value KEY NAME: a registry value's data, as `reg query` prints it.
value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }

# Install, silently, with the start at login.
wine "$setup" /S /AUTOSTART || failed "the silent install: status $?"
if [ -f "$dir/uninstall.exe" ] && diff -r -x uninstall.exe "$folder" "$dir" >/dev/null; then
    pass "installed into $windir: the program's folder and the uninstaller"
else failed "the installed files: $(diff -r -x uninstall.exe "$folder" "$dir" 2>&1 | head -5)"; fi
# The program's icon (for the shortcut and Explorer): the icon group Qt's windows take, at
# the icon file's nine sizes.
icons=$(x86_64-w64-mingw32-windres --input "$dir/orvell.exe" --output-format=rc 2>/dev/null |
    grep -c '/\* RT_ICON \*/')
if [ "$icons" = 9 ]; then pass "orvell.exe carries the program's icon at nine sizes"
else failed "orvell.exe carries $icons icon pictures"; fi
if grep -qaF "$windir\\orvell.exe" "$menu/ORVELL.lnk" 2>/dev/null; then
    pass "the Start menu's shortcut ORVELL starts it"
else failed "no shortcut $menu/ORVELL.lnk to the program"; fi
entries_ok=1
while IFS='|' read -r name expected; do
    got=$(value "$uninstall_key" "$name")
    [ "$got" = "$expected" ] && continue
    failed "the Uninstall entry's $name: '$got', not '$expected'"
    entries_ok=0
done <<EOF
DisplayName|ORVELL
DisplayVersion|$version
Publisher|ORVELL
DisplayIcon|$windir\\orvell.exe,0
InstallLocation|$windir
UninstallString|"$windir\\uninstall.exe"
QuietUninstallString|"$windir\\uninstall.exe" /S
NoModify|0x1
NoRepair|0x1
EOF
[ "$entries_ok" = 1 ] && pass "the entry in the list of installed programs"
if [ "$(value "$run_key" ORVELL)" = "\"$windir\\orvell.exe\"" ]; then
    pass "it starts at login (the Run key's value ORVELL)"
else failed "the Run key's value ORVELL: '$(value "$run_key" ORVELL)'"; fi

# start_watcher: the installed program, started as the shortcut starts it; its
# process in $watcher.
start_watcher() {
    wine "$windir\\orvell.exe" >>"$KIT_TMP/watcher.err" 2>&1 &
    watcher=$!
    kit_track "$watcher"
}
# The icon in the tray: the picture of the eye (its blue iris) in the docked window.
blue_icon() {
    local win X Y WIDTH HEIGHT
    win=$(tray_icon_window explorer.exe) || return 1
    eval "$(xdotool getwindowgeometry --shell "$win")"
    screenshot "$KIT_TMP/screen.png"
    _pixels "$KIT_TMP/screen.png" "$X" "$Y" "$WIDTH" "$HEIGHT" '
sys.exit(0 if sum(p[2] - p[0] > 100 for row in rows for p in row) >= 4 else 1)'
}

printf '"http://127.0.0.1:9/edited"\r\n0\r\n"mine.wav"\r\n' >"$dir/config.ini"
printf 'the snapshot\r\n' >"$dir/data.orvl"
printf 'the last body\r\n' >"$dir/data.tmp"
printf 'text/html\n' >"$dir/data.type"
mkdir -p "$dir/history"
printf 'the page before\r\n' >"$dir/history/20261208T130959000Z-before.page"
printf 'RIFF of my own' >"$dir/Sounds/mine.wav"
cp "$dir/config.ini" "$KIT_TMP/config.ini"
start_watcher
if wait_for 60 blue_icon; then pass "the installed program runs, its icon docked in the tray"
else failed "no icon in the tray: $(cat "$KIT_TMP/watcher.err")"; fi

# Install again while it runs (an upgrade, silent, without the switch).
: >"$dir/licenses/README.txt"
wine "$setup" /S || failed "the second install: status $?"
if process_gone "$watcher"; then pass "the second install ended the running program"
else failed "the program still runs after the second install"; fi
if cmp -s "$dir/config.ini" "$KIT_TMP/config.ini" &&
    [ "$(cat "$dir/data.orvl")" = $'the snapshot\r' ] && [ -f "$dir/data.tmp" ] &&
    [ -f "$dir/Sounds/mine.wav" ]; then
    pass "the second install kept the edited config.ini, the snapshot and the sounds"
else failed "the second install changed the user's files: $(cat "$dir/config.ini")"; fi
if cmp -s "$dir/licenses/README.txt" "$folder/licenses/README.txt"; then
    pass "the second install replaced the program's files"
else failed "the second install left a changed file of the program"; fi
[ -n "$(value "$run_key" ORVELL)" ] || failed "the second install dropped the start at login"

# Uninstall, silently, in place, while the program runs.
start_watcher
wait_for 60 blue_icon || failed "the program did not start again"
wine "$dir/uninstall.exe" /S "_?=$windir" || failed "the silent uninstall: status $?"
process_gone "$watcher" || failed "the program still runs after the uninstall"
# The uninstaller that ran in place cannot delete itself.
left="Sounds/mine.wav config.ini data.orvl data.tmp data.type"
left+=" history/20261208T130959000Z-before.page uninstall.exe "
if [ "$(listing "$dir")" = "$left" ]; then
    pass "the uninstall left only config.ini, the snapshot, the kept versions and the user's sound"
else failed "the uninstall left: $(listing "$dir" | cut -c1-300)"; fi
cmp -s "$dir/config.ini" "$KIT_TMP/config.ini" || failed "the uninstall changed config.ini"
if [ ! -e "$menu/ORVELL.lnk" ] && ! wine reg query "$uninstall_key" >/dev/null 2>&1 &&
    [ -z "$(value "$run_key" ORVELL)" ]; then
    pass "no shortcut, no Uninstall entry, no Run value after the uninstall"
else
    failed "after the uninstall: $(ls "$menu"), $(wine reg query "$uninstall_key" 2>&1 | head -3)"
fi

# Without /AUTOSTART no start at login; with /PURGE the user's files go too.
rm -f "$dir/uninstall.exe"
wine "$setup" /S || failed "the install after the uninstall: status $?"
[ -z "$(value "$run_key" ORVELL)" ] ||
    failed "a silent install without /AUTOSTART starts it at login"
wine "$dir/uninstall.exe" /S /PURGE "_?=$windir" || failed "the uninstall with /PURGE: status $?"
if [ "$(listing "$dir")" = "uninstall.exe " ]; then pass "/PURGE removed the user's files too"
else failed "/PURGE left: $(listing "$dir" | cut -c1-300)"; fi
exit $fail
