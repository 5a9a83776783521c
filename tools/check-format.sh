#!/usr/bin/env bash
# Fails when a tracked C++ source is not formatted as .clang-format says, naming the
# files and the first differences. Debian 12's clang-format-14 is the formatter of
# record (tools/bootstrap.sh installs it): other versions break some lines differently.
#   tools/check-format.sh          check
#   tools/check-format.sh --fix    format them in place
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
command -v "$format" >/dev/null || { echo "$format is missing: run tools/bootstrap.sh" >&2; exit 1; }
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    "$format" -i "${files[@]}"
    exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if ! "$format" --dry-run --Werror "${files[@]}" 2>"$report"; then
    echo "Not formatted (tools/check-format.sh --fix formats them):" >&2
    grep -o '^[^:]*\.\(cpp\|h\):' "$report" | sort -u | sed 's/:$//; s/^/  /' >&2
    head -40 "$report" >&2
    exit 1
fi
echo "All ${#files[@]} C++ sources are formatted."
