#!/usr/bin/env bash
# Removes what tools/install.sh (or `cmake --install build --prefix DIR`) put in place:
#   tools/uninstall.sh [--prefix DIR] [--purge]
# The program, its link, its launcher, its icon, the autostart entry and the default
# sound (if unchanged) go; config.ini, the snapshot (data.orvl, data.tmp, data.type), the
# kept versions (history/) and sounds of the user's own stay in DIR/lib/orvell, unless
# --purge is given: then that whole folder goes too.
# Exit a running ORVELL first (its tray menu's "Exit").
set -euo pipefail
prefix="$HOME/.local"
purge=0
while [ $# -gt 0 ]; do
    case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --purge) purge=1; shift ;;
    *) echo "usage: $0 [--prefix DIR] [--purge]" >&2; exit 2 ;;
    esac
done
source_dir=$(cd "$(dirname "$0")/.." && pwd)
folder="$prefix/lib/orvell"

remove() { if [ -e "$1" ] || [ -L "$1" ]; then rm -f -- "$1" && echo "Removed: $1"; fi; }

# The link only if it is ours.
if [ -L "$prefix/bin/orvell" ] && [ "$(readlink "$prefix/bin/orvell")" = ../lib/orvell/orvell ]; then
    remove "$prefix/bin/orvell"
fi
remove "$prefix/share/applications/orvell.desktop"
for size in 16 22 24 32 48 64 128 256; do
    remove "$prefix/share/icons/hicolor/${size}x$size/apps/orvell.png"
done
remove "${XDG_CONFIG_HOME:-$HOME/.config}/autostart/orvell.desktop"
remove "$folder/orvell"
if [ "$purge" = 1 ]; then
    if [ -d "$folder" ]; then rm -rf -- "$folder" && echo "Removed: $folder"; fi
    exit 0
fi
# The default sound goes unless the user has put another file under its name.
if cmp -s "$source_dir/resources/Sounds/chime.wav" "$folder/Sounds/chime.wav"; then
    remove "$folder/Sounds/chime.wav"
fi
rmdir -- "$folder/Sounds" "$folder" 2>/dev/null || true
if [ -d "$folder" ]; then echo "Kept: $folder ($(ls -A "$folder" | tr '\n' ' '))"; fi
