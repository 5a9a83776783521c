#!/usr/bin/env bash
# Builds the program and installs it for the current user:
#   tools/install.sh [--prefix DIR] [--autostart]
# DIR (default ~/.local) gets the program's own folder DIR/lib/orvell with the program,
# Sounds/ and a default config.ini (an existing config.ini and existing sounds are
# kept), a link DIR/bin/orvell, a launcher in DIR/share/applications and the icon in
# DIR/share/icons/hicolor. --autostart also starts it at login
# (${XDG_CONFIG_HOME:-~/.config}/autostart/orvell.desktop). tools/uninstall.sh undoes it.
set -euo pipefail
prefix="$HOME/.local"
autostart=0
while [ $# -gt 0 ]; do
    case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --autostart) autostart=1; shift ;;
    *) echo "usage: $0 [--prefix DIR] [--autostart]" >&2; exit 2 ;;
    esac
done
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
cmake --preset release >/dev/null
cmake --build build --target orvell
cmake --install build --prefix "$prefix"
if [ "$autostart" = 1 ]; then
    cmake --install build --prefix "$prefix" --component autostart
fi
echo "Installed: $prefix/bin/orvell; its folder (config.ini, Sounds/) is $prefix/lib/orvell"
