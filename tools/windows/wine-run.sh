#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, finding the Qt libraries and plugins and
# the compiler's runtime where they were built: CTest's emulator for the Windows tests.
#   tools/windows/wine-run.sh PROGRAM.exe [ARGS...]
# ORVELL_WINDOWS_QT: Qt's prefix (the default is the one tools/windows.sh builds).
# WINEPREFIX: the Wine prefix to use (default: one beside this build, made on first use).
# Without DISPLAY a private X server is started for the program (Wine's windows need one,
# even the hidden ones Qt's event loop uses).
# ORVELL_WINE_TRUST=CA.pem: the program runs in a private mount namespace whose system trust
# store (which Wine's TLS reads) holds that certificate authority and nothing else: under
# Wine a certificate authority added in code is not trusted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qt=${ORVELL_WINDOWS_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/orvell/qt-6.4.2-mingw64}
export WINEPREFIX=${WINEPREFIX:-$here/../../build-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

if [ -n "${ORVELL_WINE_TRUST:-}" ] && [ -z "${ORVELL_WINE_INSIDE:-}" ]; then
  userns=()
  [ "$(id -u)" -ne 0 ] && userns=(-r)
  exec unshare "${userns[@]}" -m -- env ORVELL_WINE_INSIDE=1 "$0" "$@"
fi
if [ -n "${ORVELL_WINE_INSIDE:-}" ]; then
  certs=$(mktemp -d)
  trap 'rm -rf "$certs"' EXIT
  cp "$ORVELL_WINE_TRUST" "$certs/ca-certificates.crt"
  ln -s ca-certificates.crt "$certs/$(openssl x509 -hash -noout -in "$ORVELL_WINE_TRUST").0"
  mount --make-rprivate / 2>/dev/null || true
  mount --bind "$certs" /etc/ssl/certs
  unset ORVELL_WINE_INSIDE ORVELL_WINE_TRUST
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
if [ -n "${certs:-}" ]; then
  wine "$@" && exit 0 || exit $?
fi
exec wine "$@"
