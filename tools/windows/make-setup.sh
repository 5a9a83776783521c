#!/usr/bin/env bash
# Makes the Windows setup program from the program's folder with NSIS (tools/windows.sh
# runs it after making the folder):
#   tools/windows/make-setup.sh FOLDER VERSION SETUP.exe
# The setup's script is resources/windows/installer.nsi; here the lists of the program's
# files are written for it: every file of FOLDER except the user's config.ini and sounds,
# which it places only where missing.
set -euo pipefail
[ $# = 3 ] || { echo "usage: $0 FOLDER VERSION SETUP.exe" >&2; exit 2; }
folder=$(cd "$1" && pwd)
version=$2
setup=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
lists=$(mktemp -d)
trap 'rm -rf "$lists"' EXIT

# A path in NSIS's words: backslashes, and a dollar sign doubled.
winpath() { local p=${1//\//\\}; printf '%s' "${p//\$/\$\$}"; }
nsis() { printf '%s' "${1//\$/\$\$}"; }
files=$(cd "$folder" && find . -type f ! -path ./config.ini ! -path './Sounds/*' |
    sed 's|^\./||' | sort)
# Installing: each file into its folder.
{
    last=""
    while IFS= read -r file; do
        dir=$(dirname "$file")
        if [ "$dir" != "$last" ]; then
            if [ "$dir" = . ]; then echo 'SetOutPath "$INSTDIR"'
            else echo "SetOutPath \"\$INSTDIR\\$(winpath "$dir")\""; fi
            last=$dir
        fi
        echo "File \"$(nsis "$folder/$file")\""
    done <<<"$files"
} >"$lists/files.nsh"
# Uninstalling: each file, then its folders from the deepest up, where they are empty.
{
    while IFS= read -r file; do echo "Delete \"\$INSTDIR\\$(winpath "$file")\""; done <<<"$files"
    (cd "$folder" && find . -mindepth 1 -type d ! -path ./Sounds | sed 's|^\./||' | sort -r) |
        while IFS= read -r dir; do echo "RMDir \"\$INSTDIR\\$(winpath "$dir")\""; done
} >"$lists/unfiles.nsh"

makensis -V2 -DVERSION="$version" -DFOLDER="$folder" -DFILES="$lists/files.nsh" \
    -DUNFILES="$lists/unfiles.nsh" -DICON="$root/resources/icons/orvell.ico" \
    -DOUTFILE="$setup" "$root/resources/windows/installer.nsi"
