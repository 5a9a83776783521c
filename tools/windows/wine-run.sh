#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, finding the Qt libraries and plugins and
# the compiler's runtime where they were built: CTest's emulator for the Windows tests.
#   tools/windows/wine-run.sh PROGRAM.exe [ARGS...]
# ORVELL_WINDOWS_QT: Qt's prefix (the default is the one tools/windows.sh builds).
# WINEPREFIX: the Wine prefix to use (default: one beside this build, made on first use).
# Without DISPLAY a private X server is started for the program (Wine's windows need one,
# even the hidden ones Qt's event loop uses).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qt=${ORVELL_WINDOWS_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/orvell/qt-6.4.2-mingw64}
export WINEPREFIX=${WINEPREFIX:-$here/../../build-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

# A new prefix is made once, by one process at a time.
mkdir -p "$WINEPREFIX"
(
  flock 9
  [ -f "$WINEPREFIX/.orvell-ready" ] || { wineboot -i >/dev/null 2>&1; touch "$WINEPREFIX/.orvell-ready"; }
) 9>"$WINEPREFIX.lock"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
pthread=$(dirname "$(readlink -f "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")")
export WINEPATH="$(winpath "$qt/bin");$(winpath "$runtime");$(winpath "$pthread")"
export QT_PLUGIN_PATH="$(winpath "$qt/plugins")"
exec wine "$@"
