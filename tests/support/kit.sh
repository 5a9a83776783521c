# The test kit of the shell tests, sourced by each of them before anything else:
#   source "$(dirname "$0")/../support/kit.sh"   (the desktop tests through e2e/desktop.sh)
# What it gives:
#   $KIT_TMP               a temporary folder of the test's own, removed on exit
#   kit_track PID...       processes ended on exit (the last tracked first), then waited for
#   kit_at_exit COMMAND    a command (a string, run with eval) run on exit before the tracked
#                          processes are ended and $KIT_TMP is removed (wineserver -k...)
#   pass TEXT, failed TEXT a check's result, a line "PASS TEXT" or "FAIL TEXT"; after any
#                          failure $fail is 1, and a test ends with `exit $fail`
#   fatal TEXT             a failure after which nothing else can be checked: failed TEXT,
#                          then what the test's own kit_details function shows (when it has
#                          one: the program's standard error...), and the test ends
#   wait_for SECONDS CMD...  tries CMD about every 0.1 s until it succeeds; fails when it
#                          has not within SECONDS
#   holds SECONDS CMD...   succeeds when CMD succeeds every time it is tried for that long
#                          (SECONDS may have a fraction)
#   process_gone PID       the process has ended (perhaps not yet waited for by this shell)
#   ends_cleanly PID WHAT  the process PID, a child of the test, ends within 15 s after WHAT
#                          with status 0: passes, or fails (with kit_details) saying how
#   serve ARGS...          the kit's web server (orvell_serve: $ORVELL_SERVE, else the one
#                          of the build tree of $KIT_PROGRAM) on 127.0.0.1 with ARGS, tracked;
#                          its port in $served_port
# An exit status of 77 tells CTest that the test was skipped (what it needs is not here).

KIT_TMP=$(mktemp -d)
_kit_pids=()
_kit_exit_commands=()

kit_track() { _kit_pids+=("$@"); }
kit_at_exit() { _kit_exit_commands+=("$1"); }

_kit_exit() {
    local rc=$1 i command
    set +e
    for command in "${_kit_exit_commands[@]}"; do eval "$command"; done
    for ((i = ${#_kit_pids[@]} - 1; i >= 0; i--)); do kill "${_kit_pids[i]}" 2>/dev/null; done
    for ((i = ${#_kit_pids[@]} - 1; i >= 0; i--)); do wait "${_kit_pids[i]}" 2>/dev/null; done
    rm -rf "$KIT_TMP"
    exit "$rc"
}
# (A test under `set -e` keeps its own status: the clean-up runs without it.)
trap '_kit_exit $?' EXIT

fail=0
pass() { echo "PASS $*"; }
failed() {
    echo "FAIL $*"
    fail=1
}
fatal() {
    failed "$@"
    if declare -F kit_details >/dev/null; then kit_details; fi
    exit 1
}

wait_for() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

holds() {
    local limit=$1
    shift
    local end
    end=$(($(date +%s%N) + $(awk -v s="$limit" 'BEGIN { printf "%d", s * 1e9 }')))
    while [ "$(date +%s%N)" -lt "$end" ]; do
        "$@" >/dev/null 2>&1 || return 1
        sleep 0.1
    done
}

process_gone() { ! kill -0 "$1" 2>/dev/null || [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = Z ]; }

ends_cleanly() {
    local pid=$1 what=$2 status
    if ! wait_for 15 process_gone "$pid"; then
        failed "the program still runs after $what"
    else
        wait "$pid"
        status=$?
        [ "$status" = 0 ] && { pass "$what ended the program with status 0"; return 0; }
        failed "$what ended the program with status $status"
    fi
    if declare -F kit_details >/dev/null; then kit_details; fi
    return 1
}

serve() {
    local bin=${ORVELL_SERVE:-$(dirname "${KIT_PROGRAM:-.}")/tests/support/orvell_serve}
    local out
    out=$(mktemp "$KIT_TMP/serve.XXXXXX")
    "$bin" "$@" >"$out" &
    kit_track $!
    wait_for 10 grep -q . "$out" || {
        echo "the web server did not start" >&2
        return 1
    }
    served_port=$(head -1 "$out")
}
