#!/usr/bin/env bash
# Fetches the HTML parser's source (Debian's source package gumbo-parser) once and unpacks
# it, with Debian's patches applied, into a cache folder outside the clone; prints that
# folder. The fuzz build compiles it instrumented (ORVELL_GUMBO_SOURCE), and so does the
# Windows build, which has no gumbo library of its own.
#   tools/gumbo-source.sh [CACHE]     CACHE defaults to ~/.cache/orvell
# CACHE/gumbo-parser-VERSION/.complete marks a finished unpack; with it, nothing is fetched.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/orvell}

done_dir=$({ find "$cache" -maxdepth 2 -path "$cache/gumbo-parser-*/.complete" -printf '%h\n' \
              2>/dev/null || true; } | sort | tail -n1)
if [ -n "$done_dir" ]; then
  echo "$done_dir"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvell-gumbo.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$here/debian-source.sh" gumbo-parser "$work"
cd "$work"
orig=$(ls gumbo-parser_*.orig.tar.* | head -n1)
version=${orig#gumbo-parser_}
version=${version%.orig.tar.*}
mkdir src
tar -xf "$orig" -C src --strip-components=1
if ls gumbo-parser_*.debian.tar.* >/dev/null 2>&1; then
  tar -xf gumbo-parser_*.debian.tar.*
  if [ -f debian/patches/series ]; then
    (cd src && while read -r p; do
       case "$p" in ''|\#*) continue ;; esac
       patch -p1 -s <"../debian/patches/$p"
     done <../debian/patches/series)
  fi
  cp debian/copyright src/debian-copyright.txt
fi

dest="$cache/gumbo-parser-$version"
mkdir -p "$cache"
rm -rf "$dest"
mv src "$dest"
touch "$dest/.complete"
echo "$dest"
