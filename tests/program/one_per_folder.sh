#!/usr/bin/env bash
# One watcher per folder, with the real program started headless: of two starts at
# once in one folder exactly one keeps running, the other ends with status 0 and says
# so; a start from another folder runs beside it; after the watcher is killed, a new
# start from its folder runs again (no stale claim); `orvell --exit` ends the folder's
# watcher and waits for it, and where none runs it starts none; both end with status 0.
set -u
program=$1
source "$(dirname "$0")/../support/kit.sh"
work=$KIT_TMP
for dir in a b; do
    mkdir "$work/$dir"
    cp "$program" "$work/$dir/orvell"
    printf '"http://127.0.0.1:9/"\r\n0\r\n"chime.wav"\r\n' >"$work/$dir/config.ini"
done

# already_running DIR: a further start from DIR ends at once with status 0, saying that
# a watcher runs there.
already_running() {
    local out status
    out=$(timeout 30 "$work/$1/orvell" 2>&1 >/dev/null)
    status=$?
    [ "$status" = 0 ] && grep -qF "already running from $work/$1: its window is shown" <<<"$out"
}
# claimed DIR: a watcher holds DIR's name (a socket in the abstract namespace, named
# after the directory's path).
claimed() {
    local hash
    hash=$(printf '%s' "$(cd "$work/$1" && pwd -P)" | sha256sum | cut -c1-40)
    grep -q "@orvell-$hash\$" /proc/net/unix
}
alive() { kill -0 "$1" 2>/dev/null; }

# Two starts at once.
"$work/a/orvell" >/dev/null 2>"$work/a1.err" &
first=$!
"$work/a/orvell" >/dev/null 2>"$work/a2.err" &
second=$!
kit_track "$first" "$second"
ended() { ! alive "$first" || ! alive "$second"; }
if wait_for 30 ended; then
    if alive "$first"; then watcher=$first loser=$second err=a2.err; else
        watcher=$second loser=$first err=a1.err; fi
    wait "$loser"
    status=$?
    if [ "$status" = 0 ] && grep -q "already running from $work/a" "$work/$err"; then
        pass "of two starts at once one ended with status 0, saying so"
    else failed "the start that ended: status $status, $(cat "$work/$err")"; fi
    if alive "$watcher"; then pass "the other one runs"; else failed "neither runs"; fi
else failed "both starts kept running"; fi

if claimed a && already_running a; then pass "a later start from the same folder ends"; else
    failed "a later start from the same folder"; fi

"$work/b/orvell" >/dev/null 2>"$work/b.err" &
other=$!
kit_track "$other"
if wait_for 30 claimed b && already_running b && alive "$watcher"; then
    pass "a watcher from another folder runs beside it"
else failed "another folder: $(cat "$work/b.err")"; fi

kill -KILL "$watcher"
wait "$watcher" 2>/dev/null
"$work/a/orvell" >/dev/null 2>"$work/a3.err" &
restarted=$!
kit_track "$restarted"
if wait_for 30 claimed a && already_running a && alive "$restarted"; then
    pass "after the watcher was killed a new start from its folder runs"
else failed "after a kill: $(cat "$work/a3.err")"; fi
out=$(timeout 60 "$work/a/orvell" --exit 2>&1 >/dev/null)
status=$?
if [ "$status" = 0 ] && process_gone "$restarted" && ! claimed a &&
    grep -qF "the watcher that ran from $work/a has ended" <<<"$out"; then
    wait "$restarted"
    watcher_status=$?
    if [ "$watcher_status" = 0 ]; then pass "--exit ended the watcher (its status 0) and returned after it had gone"
    else failed "the watcher ended by --exit: status $watcher_status"; fi
else failed "--exit: status $status, $out; the watcher $(process_gone "$restarted" || echo "runs on")"; fi
if alive "$other" && claimed b; then pass "the watcher of another folder runs on"; else
    failed "the other folder's watcher went too"; fi
out=$(timeout 60 "$work/a/orvell" --exit 2>&1 >/dev/null)
status=$?
if [ "$status" = 0 ] && ! claimed a && grep -qF "no watcher runs from $work/a" <<<"$out"; then
    pass "--exit where no watcher runs ends with status 0 and starts none"
else failed "--exit without a watcher: status $status, $out"; fi
[ -z "$(ls -A "$work/a" | grep -vx -e orvell -e config.ini)" ] ||
    failed "files left in the folder: $(ls -A "$work/a")"
exit $fail
