#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it from build/, on
# build/config.ini and build/Sounds/ (defaults the build places only where missing, so
# edits there are kept).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
cmake --preset release >/dev/null
cmake --build build --target orvell
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No desktop found: running without one (QT_QPA_PLATFORM=offscreen)." >&2
    export QT_QPA_PLATFORM=offscreen
fi
exec ./build/orvell "$@"
