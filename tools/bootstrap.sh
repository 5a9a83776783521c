#!/usr/bin/env bash
# Installs everything the build, the tests and the desktop tests need on Debian 12.
# Safe to run again: it only asks apt-get for what is missing.
#   tools/bootstrap.sh            the Linux build and its tests
#   tools/bootstrap.sh --windows  also the Windows build (MinGW-w64, Qt's host tools, NSIS)
#                                 and its tests under Wine
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  # the formatter of record (tools/check-format.sh)
  clang-format-14
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev libgl-dev
  # the page's text: libxml2's HTML parser; its source package for the fuzz build and
  # the Windows build (tools/libxml2-source.sh unpacks it with patch)
  libxml2-dev patch
  qt6-qpa-plugins
  # https: Qt's TLS backend loads OpenSSL 3; the system's trust store
  libssl3 ca-certificates
  # desktop tests: a real X server, a tray host, clicks, screenshots, sound, time
  xvfb x11-utils x11-xserver-utils xdotool trayer dbus-daemon imagemagick desktop-file-utils
  pulseaudio pulseaudio-utils faketime curl libxext-dev python3 fonts-dejavu-core
  # https tests: private network namespaces, certificate hashes
  iproute2 openssl
  # fonts: Liberation Sans has Arial's widths, close to those the popup's stamp is designed for
  fonts-liberation2
  # Wayland natively, and StatusNotifierItem trays: a compositor with a tray in its bar,
  # screenshots of it, a tray host of our own for tests (Python D-Bus), gdbus
  qt6-wayland sway grim python3-dbus python3-gi libglib2.0-bin
  # the desktop's notifications: real notification servers on X and on Wayland, and a
  # client to post to them
  dunst mako-notifier libnotify-bin
  # what changed on the page: the diff library (header-only), and the Python page
  # watchers' pipeline that the benchmark runs beside ours
  libdtl-dev python3-html2text
  # windows read as a screen reader reads them: the accessibility bus and its Python client
  at-spi2-core python3-pyatspi
)
if [ "${1:-}" = "--windows" ]; then
  packages+=(
    # the cross compiler (posix threads: std::thread and std::mutex), and what Qt's build
    # for Windows takes from the host: Debian's Qt as its host tools, its source package
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    qt6-base-dev qt6-base-dev-tools xz-utils patch
    # the zip and the setup program
    zip nsis
    # the Windows program under Wine; the words of its tray balloon read off a screenshot
    wine wine64 libwine libgnutls30 tesseract-ocr
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
