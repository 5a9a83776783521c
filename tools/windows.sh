#!/usr/bin/env bash
# Builds ORVELL for 64-bit Windows here, on Debian 12: installs what is missing, builds Qt
# for Windows once into a cache folder outside the clone (about 25 minutes on 2 cores; later
# runs reuse it), then cross-builds the program.
#   ./tools/windows.sh          build-windows/ORVELL/ (the program's folder), its zip
#                               build-windows/orvell-VERSION-windows-x64.zip and the setup
#                               program build-windows/orvell-setup-VERSION.exe (NSIS)
#   ./tools/windows.sh --test   the same, then the Windows tests under Wine (CTest)
# ORVELL_WINDOWS_QT chooses Qt's cache folder (default ~/.cache/orvell/qt-6.4.2-mingw64).
# The tests need the test kit's web server built for Linux (it serves https where Wine
# cannot): ORVELL_LINUX_SERVE names one, else it is built in build-windows/host.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
test=0
[ "${1:-}" = "--test" ] && test=1

bash tools/bootstrap.sh --windows
export ORVELL_WINDOWS_QT=${ORVELL_WINDOWS_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/orvell/qt-6.4.2-mingw64}
qt=$ORVELL_WINDOWS_QT
if [ ! -f "$qt/.complete" ]; then
  echo "Building Qt for Windows into $qt (once; about 25 minutes on 2 cores)"
fi
bash tools/windows/build-qt.sh "$qt"

out=build-windows
serve=""
if [ $test = 1 ]; then
  serve=${ORVELL_LINUX_SERVE:-}
  if [ -z "$serve" ]; then
    cmake --preset release -B "$out/host" -DORVELL_BUILD_BENCH=OFF >/dev/null
    cmake --build "$out/host" --target orvell_serve
    serve=$root/$out/host/tests/support/orvell_serve
  fi
fi
version=$(sed -n 's/^project(ORVELL VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The windows preset (build-windows/build) takes Qt from $ORVELL_WINDOWS_QT. The HTML parser
# (libxml2) is compiled for Windows from Debian's source package.
cmake --preset windows -DORVELL_BUILD_TESTS=$([ $test = 1 ] && echo ON || echo OFF) \
      -DORVELL_LIBXML2_SOURCE="$(bash tools/libxml2-source.sh)" \
      -DORVELL_LINUX_SERVE="$serve" >/dev/null
cmake --build --preset windows

# The program's folder, stripped, with everything it loads that Windows does not have.
rm -rf "$out/ORVELL"
cmake --install "$out/build" --prefix "$out/ORVELL" --strip >/dev/null
find "$out/ORVELL" -iname '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
bash tools/windows/check-imports.sh "$out/ORVELL"
zip=orvell-$version-windows-x64.zip
rm -f "$out/$zip"
(cd "$out" && zip -qr9 "$zip" ORVELL)
setup=orvell-setup-$version.exe
bash tools/windows/make-setup.sh "$out/ORVELL" "$version" "$out/$setup"
echo "Windows program: $out/ORVELL/orvell.exe ($(du -sh "$out/ORVELL" | cut -f1)); zip: $out/$zip;" \
     "setup: $out/$setup ($(du -sh "$out/$setup" | cut -f1))"

if [ $test = 1 ]; then
  ctest --preset windows
fi
