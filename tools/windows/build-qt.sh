#!/usr/bin/env bash
# Builds Qt's qtbase for 64-bit Windows once, from Debian's own source package, with Debian's
# MinGW-w64 and Debian's Qt as the host tools, and installs it into a cache folder outside
# the clone (reused by every later run). The build tree is removed after the install. The
# licence texts of Qt and of the third-party code it bundles go to PREFIX/licenses.
#   tools/windows/build-qt.sh PREFIX
# PREFIX/.complete marks a finished install; with it and the licences there, nothing is done.
set -euo pipefail
prefix=${1:?usage: build-qt.sh PREFIX}
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$prefix/.complete" ] && [ -d "$prefix/licenses" ] && exit 0

work=$(mktemp -d "${TMPDIR:-/tmp}/orvell-qt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$here/../debian-source.sh" qt6-base "$work"
cd "$work"
tar -xf qt6-base_6.4.2+dfsg.orig.tar.xz
src=$(find . -maxdepth 1 -type d -name 'qtbase*' | head -n1)
tar -xf qt6-base_6.4.2+dfsg-*.debian.tar.xz
(cd "$src" && while read -r p; do
   case "$p" in ''|\#*) continue ;; esac
   patch -p1 -s <"../debian/patches/$p"
 done <../debian/patches/series)

if [ ! -f "$prefix/.complete" ]; then
  mkdir -p "$prefix"
  cp "$here/mingw-toolchain.cmake" "$prefix/mingw-toolchain.cmake"
  # qtbase only: Core, Gui, Widgets, Network (TLS through Schannel), Test. FreeType stays on
  # (bundled): without it there is no offscreen platform plugin for the headless tests.
  # Debian's +dfsg tarball lacks the Wintab headers, so tablet events are off.
  cmake -S "$src" -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-toolchain.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_fontconfig=OFF \
    -DFEATURE_zstd=OFF -DFEATURE_openssl=OFF -DINPUT_openssl=no -DFEATURE_schannel=ON \
    -DFEATURE_jpeg=OFF -DFEATURE_tabletevent=OFF -DFEATURE_testlib=ON >configure.log 2>&1 ||
    { tail -n 60 configure.log; exit 1; }
  cmake --build build --parallel "$(nproc)"
  cmake --install build >/dev/null
  rm -rf build
  touch "$prefix/.complete"
fi

# Qt's licences, and those of the code it bundles (src/3rdparty/NAME/...).
rm -rf "$prefix/licenses.new"
mkdir -p "$prefix/licenses.new/3rdparty"
cp -r "$src/LICENSES/." "$prefix/licenses.new/"
(cd "$src/src/3rdparty" &&
 find . -maxdepth 2 -type f \( -iname 'licen[cs]e*' -o -iname 'copying*' -o -iname 'ftl.txt' \) |
   while read -r f; do
     mkdir -p "$prefix/licenses.new/3rdparty/$(dirname "$f")"
     cp "$f" "$prefix/licenses.new/3rdparty/$f"
   done)
cp "$src/../debian/copyright" "$prefix/licenses.new/debian-copyright.txt"
rm -rf "$prefix/licenses" && mv "$prefix/licenses.new" "$prefix/licenses"
