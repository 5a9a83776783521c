#!/usr/bin/env bash
# The real program, started headless with its clock set just before a mark of the
# schedule (1:09:57 PM), watching a page on a local server: by the mark the check runs,
# and the page's body, followed by CR LF, becomes the snapshot data.orvl; data.tmp is
# gone.
set -u
program=$1
source "$(dirname "$0")/../support/kit.sh"
KIT_PROGRAM=$program
work=$KIT_TMP
program_pid=""
# The preloaded clock library keeps a shared-memory segment per process and removes it
# only on a normal exit.
kit_at_exit '[ -n "$program_pid" ] && rm -f "/dev/shm/faketime_shm_$program_pid" "/dev/shm/sem.faketime_sem_$program_pid"'
mkdir "$work/site" "$work/app"
cp "$program" "$work/app/orvell"
printf 'watched page\n' >"$work/site/page.html"

# The test kit's web server on 127.0.0.1 with a port of the system's choosing.
serve --page "$work/site/page.html" --requests "$work/requests" || fatal "the server did not start"

printf '"http://127.0.0.1:%s/page.html"\r\n0\r\n"none.wav"\r\n' "$served_port" >"$work/app/config.ini"
printf 'older, longer snapshot\r\n' >"$work/app/data.orvl"

faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$faketime_lib" ] || { echo "SKIP: libfaketime is not installed"; exit 77; }
# (A sanitizer build would refuse to start behind a preloaded library.)
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
    LD_PRELOAD=$faketime_lib FAKETIME="@2026-12-08 13:09:57" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    QT_QPA_PLATFORM=offscreen "$work/app/orvell" >"$work/out" 2>"$work/err" &
program_pid=$!
kit_track "$program_pid"

stored() { cmp -s "$work/app/data.orvl" <(printf 'watched page\n\r\n'); }
if ! wait_for 15 stored; then
    failed "data.orvl after the mark:"; od -c "$work/app/data.orvl" | head
fi
[ ! -e "$work/app/data.tmp" ] || failed "data.tmp left behind"
grep -q '^GET /page.html ' "$work/requests" 2>/dev/null || failed "the server saw no request"
if ! kill -0 "$program_pid" 2>/dev/null; then
    failed "the program ended:"; cat "$work/err"
fi
[ $fail -eq 0 ] && pass "scheduled check at 1:09:59 PM"
exit $fail
