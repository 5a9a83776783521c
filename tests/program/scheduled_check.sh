#!/usr/bin/env bash
# The real program, started headless with its clock set just before a mark of the
# schedule (1:09:57 PM), watching a page on a local server: by the mark the check runs,
# and the page's body, followed by CR LF, becomes the snapshot data.orvl; data.tmp is
# gone.
set -u
program=$1
work=$(mktemp -d)
server_pid=""
program_pid=""
serve=${ORVELL_SERVE:-$(dirname "$program")/tests/support/orvell_serve}
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
        # The preloaded clock library keeps a shared-memory segment per process and
        # removes it only on a normal exit.
        rm -f "/dev/shm/faketime_shm_$program_pid" "/dev/shm/sem.faketime_sem_$program_pid"
    fi
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/site" "$work/app"
cp "$program" "$work/app/orvell"
printf 'watched page\n' >"$work/site/page.html"

# The test kit's web server on 127.0.0.1 with a port of the system's choosing.
"$serve" --page "$work/site/page.html" --requests "$work/requests" >"$work/server.out" &
server_pid=$!
port=""
for _ in $(seq 100); do
    port=$(head -1 "$work/server.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "FAIL: the server did not start"; exit 1; }

printf '"http://127.0.0.1:%s/page.html"\r\n0\r\n"none.wav"\r\n' "$port" >"$work/app/config.ini"
printf 'older, longer snapshot\r\n' >"$work/app/data.orvl"

faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$faketime_lib" ] || { echo "SKIP: libfaketime is not installed"; exit 77; }
# (A sanitizer build would refuse to start behind a preloaded library.)
ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
    LD_PRELOAD=$faketime_lib FAKETIME="@2026-12-08 13:09:57" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    QT_QPA_PLATFORM=offscreen "$work/app/orvell" >"$work/out" 2>"$work/err" &
program_pid=$!

expected=$(printf 'watched page\n\r\n')
for _ in $(seq 150); do
    [ "$(cat "$work/app/data.orvl" 2>/dev/null)" = "$expected" ] && break
    sleep 0.1
done
fail=0
if ! cmp -s "$work/app/data.orvl" <(printf 'watched page\n\r\n'); then
    echo "FAIL: data.orvl after the mark:"; od -c "$work/app/data.orvl" | head; fail=1
fi
if [ -e "$work/app/data.tmp" ]; then
    echo "FAIL: data.tmp left behind"; fail=1
fi
if ! grep -q '^GET /page.html ' "$work/requests" 2>/dev/null; then
    echo "FAIL: the server saw no request"; fail=1
fi
if ! kill -0 "$program_pid" 2>/dev/null; then
    echo "FAIL: the program ended:"; cat "$work/err"; fail=1
fi
[ $fail -eq 0 ] && echo "PASS scheduled check at 1:09:59 PM"
exit $fail
