#!/usr/bin/env bash
# Starts the real program with configurations it cannot read: each must end it with
# a failing status and name the error and the file on standard error.
set -u
program=$1
source "$(dirname "$0")/../support/kit.sh"
work=$KIT_TMP
cp "$program" "$work/orvell"

check() { # name, expected text; config.ini already laid out in $work
    local name=$1 expected=$2 status
    timeout 60 "$work/orvell" >"$work/out" 2>"$work/err"
    status=$?
    if [ "$status" -eq 0 ] || [ "$status" -eq 124 ]; then
        failed "$name: exit status $status"; return
    fi
    if ! grep -qF "$expected ($work/config.ini)" "$work/err"; then
        failed "$name: standard error was:"; cat "$work/err"; return
    fi
    pass "$name (status $status)"
}

rm -f "$work/config.ini"
check "missing config.ini" "Run-time error '53': File not found"
printf 'u\r\n1\r\n' >"$work/config.ini"
check "two items" "Run-time error '62': Input past end of file"
printf 'u\r\n300\r\ns\r\n' >"$work/config.ini"
check "popup 300" "Run-time error '6': Overflow"
exit $fail
