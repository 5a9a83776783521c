#!/usr/bin/env bash
# Runs a command with a private PulseAudio server whose only sink is a null sink, so
# that playback streams can be seen with pactl without any sound card:
#   with_pulseaudio.sh COMMAND [ARGS...]
# PULSE_SERVER, PULSE_COOKIE and XDG_RUNTIME_DIR point into a temporary folder that
# is removed afterwards; nothing is written to the user's home.
set -u
tmp=$(mktemp -d)
chmod 700 "$tmp"
export XDG_RUNTIME_DIR="$tmp" PULSE_COOKIE="$tmp/cookie" PULSE_SERVER="unix:$tmp/native"
export HOME="$tmp"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
    --load="module-null-sink sink_name=orvell_null" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$tmp/native" \
    >"$tmp/pulseaudio.log" 2>&1 &
pa=$!
cleanup() { kill "$pa" 2>/dev/null; wait "$pa" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
pactl info >/dev/null 2>&1 || { echo "pulseaudio did not start" >&2; cat "$tmp/pulseaudio.log" >&2; exit 1; }
"$@"
