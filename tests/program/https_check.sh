#!/usr/bin/env bash
# The real program watching an https page, as a user would set it up: config.ini names
# "https://orvell.test/page.html", the page is served on port 443 of that host name, and
# the program's clock is set just before a mark of the schedule (1:09:57 PM).
#   - with the system's trust store as it is, the page's certificate (from the test CA)
#     is not trusted, even with OpenSSL's SSL_CERT_FILE and SSL_CERT_DIR pointing at the
#     test CA: the check fails, the request never reaches the server, data.orvl stays as
#     it was;
#   - with a trust store that holds the test CA, the page becomes the snapshot.
# All of it runs in private network and mount namespaces: the host name (a private
# /etc/hosts), port 443 and the trust store (a private /etc/ssl/certs) exist only there.
#   https_check.sh PROGRAM
set -u
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/kit.sh"
certs="$here/../support/tls"
faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1

if [ "${1:-}" != --inside ]; then
    export ORVELL_SERVE=${ORVELL_SERVE:-$(dirname -- "$program")/tests/support/orvell_serve}
    [ -f "$faketime_lib" ] || { echo "SKIP: libfaketime is not installed"; exit 77; }
    userns=()
    [ "$(id -u)" -ne 0 ] && userns=(-r)
    if ! unshare "${userns[@]}" -m -n true 2>/dev/null; then
        echo "SKIP: no private network and mount namespaces here (unshare -m -n)"; exit 77
    fi
    for trust in system test; do
        unshare "${userns[@]}" -m -n -- bash "$0" --inside "$program" "$trust" || fail=1
    done
    exit $fail
fi

# --- inside the namespaces: one run -------------------------------------------------------
shift
program=$1 trust=$2
work=$KIT_TMP
program_pid=""
# The preloaded clock library keeps a shared-memory segment per process and removes it
# only on a normal exit.
kit_at_exit '[ -n "$program_pid" ] && rm -f "/dev/shm/faketime_shm_$program_pid" "/dev/shm/sem.faketime_sem_$program_pid"'
mount --make-rprivate / 2>/dev/null
ip link set lo up
printf '127.0.0.1 orvell.test\n' >"$work/hosts"
mount --bind "$work/hosts" /etc/hosts
if [ "$trust" = test ]; then
    mkdir "$work/certs"
    cp "$certs/ca.pem" "$work/certs/ca-certificates.crt"
    ln -s ca-certificates.crt "$work/certs/$(openssl x509 -hash -noout -in "$certs/ca.pem").0"
    mount --bind "$work/certs" /etc/ssl/certs
fi

mkdir "$work/app" "$work/site"
cp "$program" "$work/app/orvell"
printf '<html>a secure page</html>\n' >"$work/site/page.html"
printf '"https://orvell.test/page.html"\r\n0\r\n"none.wav"\r\n' >"$work/app/config.ini"
printf 'older, longer snapshot\r\n' >"$work/app/data.orvl"

serve --port 443 --tls good --page "$work/site/page.html" --requests "$work/requests" \
    --accepted "$work/accepted" && [ "$served_port" = 443 ] || fatal "the server did not start on port 443"

# The environment cannot add trust: what OpenSSL would read is pointed at the test CA.
trust_env=()
[ "$trust" = system ] && trust_env=(SSL_CERT_FILE="$certs/ca.pem" SSL_CERT_DIR="$certs")
env "${trust_env[@]}" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
    LD_PRELOAD=$faketime_lib FAKETIME="@2026-12-08 13:09:57" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    QT_QPA_PLATFORM=offscreen "$work/app/orvell" >"$work/out" 2>"$work/err" &
program_pid=$!
kit_track "$program_pid"

if [ "$trust" = test ]; then
    stored() { cmp -s "$work/app/data.orvl" <(printf '<html>a secure page</html>\n\r\n'); }
    if wait_for 15 stored; then
        pass "trusted: the https page became the snapshot"
    else
        failed "trusted: data.orvl after the mark:"; od -c "$work/app/data.orvl" | head
    fi
    grep -q '^GET /page.html HTTP/1.1' "$work/requests" 2>/dev/null ||
        failed "trusted: the server saw no request"
else
    # The check at the mark connects, refuses the certificate and closes the connection.
    refused() { [ -s "$work/accepted" ] && [ -z "$(ss -Htn state established '( sport = :443 )')" ]; }
    wait_for 15 refused
    if [ -s "$work/accepted" ] && cmp -s "$work/app/data.orvl" <(printf 'older, longer snapshot\r\n') &&
        [ ! -e "$work/app/data.tmp" ] && [ ! -s "$work/requests" ]; then
        pass "untrusted: data.orvl untouched, no data.tmp, the request never sent"
    else
        failed "untrusted:"; od -c "$work/app/data.orvl" | head; ls -l "$work/app" "$work"
    fi
fi
kill -0 "$program_pid" 2>/dev/null || { failed "the program ended:"; cat "$work/err"; }
[ $fail -ne 0 ] && cat "$work/err"
exit $fail
