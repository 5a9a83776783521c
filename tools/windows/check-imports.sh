#!/usr/bin/env bash
# Checks that every library a Windows program's folder needs is in the folder or is part of
# Windows: lists the DLLs that each .exe and .dll in FOLDER imports, and fails naming any
# that is neither.
#   tools/windows/check-imports.sh FOLDER
set -euo pipefail
folder=${1:?usage: check-imports.sh FOLDER}
# Libraries every Windows from 7 on has (api-ms-win-* are the system's own API sets).
windows="advapi32 authz bcrypt comdlg32 crypt32 d3d11 d3d9 dnsapi dwmapi dwrite dxgi gdi32 imm32
  iphlpapi kernel32 mpr msvcrt netapi32 ole32 oleaut32 secur32 shcore shell32 shlwapi user32
  userenv uxtheme version winhttp winmm ws2_32 wtsapi32 comctl32 ntdll"
shipped=$(find "$folder" -iname '*.dll' -printf '%f\n' | tr 'A-Z' 'a-z')
missing=0
while IFS= read -r -d '' file; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/.*DLL Name: //p'); do
    name=$(printf '%s' "$dll" | tr 'A-Z' 'a-z')
    case "$name" in api-ms-win-*) continue ;; esac
    printf '%s\n' $windows | grep -qxF "${name%.dll}" && continue
    if ! printf '%s\n' "$shipped" | grep -qxF "$name"; then
      echo "missing: $dll, imported by ${file#"$folder"/}" >&2
      missing=1
    fi
  done
done < <(find "$folder" \( -iname '*.exe' -o -iname '*.dll' \) -print0)
exit $missing
