#!/usr/bin/env bash
# The real program in a folder it cannot write in (a folder without write permission;
# for root, who writes anywhere, a read-only mount in a private mount namespace): the
# start-up ends with a failing status, naming the folder on standard error.
set -u
program=$1
source "$(dirname "$0")/../support/kit.sh"
work=$KIT_TMP
kit_at_exit 'chmod -R u+w "$work"'
mkdir "$work/app"
cp "$program" "$work/app/orvell"
printf '"http://127.0.0.1:9/"\r\n0\r\n"chime.wav"\r\n' >"$work/app/config.ini"

if [ "$(id -u)" != 0 ]; then
    chmod a-w "$work/app"
    timeout 60 "$work/app/orvell" >/dev/null 2>"$work/err"
    status=$?
else
    if ! unshare -m true 2>/dev/null; then
        echo "SKIP: no private mount namespace for a read-only folder"; exit 77
    fi
    timeout 60 unshare -m sh -c 'mount --make-rprivate / && mount --bind "$1" "$1" &&
        mount -o remount,bind,ro "$1" && exec "$1/orvell"' sh "$work/app" >/dev/null 2>"$work/err"
    status=$?
fi
kit_details() { cat "$work/err"; }
[ "$status" != 0 ] && [ "$status" != 124 ] || fatal "exit status $status"
grep -qF "cannot write in the program's folder $work/app" "$work/err" ||
    fatal "standard error was:"
[ ! -e "$work/app/data.tmp" ] || fatal "data.tmp was written"
pass "an unwritable folder is named at start-up (status $status)"
exit $fail
