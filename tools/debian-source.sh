#!/usr/bin/env bash
# Downloads a Debian source package (its .dsc, orig and debian tarballs) into a folder,
# adding a deb-src entry for bookworm beside the system's own deb entry the first time.
#   tools/debian-source.sh PACKAGE FOLDER
set -euo pipefail
package=${1:?usage: debian-source.sh PACKAGE FOLDER}
folder=${2:?usage: debian-source.sh PACKAGE FOLDER}

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
   ! grep -qs '^deb-src ' /etc/apt/sources.list; then
  cat <<'SRC' | $sudo tee /etc/apt/sources.list.d/orvell-deb-src.sources >/dev/null
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $sudo apt-get update -q
fi

mkdir -p "$folder"
chmod 755 "$folder" # apt fetches as its own user
cd "$folder"
apt-get source --download-only "$package" >/dev/null
