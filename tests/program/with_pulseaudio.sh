#!/usr/bin/env bash
# Runs a command with a private PulseAudio server whose only sink is a null sink, so
# that playback streams can be seen with pactl without any sound card:
#   with_pulseaudio.sh COMMAND [ARGS...]
# PULSE_SERVER, PULSE_COOKIE and XDG_RUNTIME_DIR point into the test's temporary folder,
# removed afterwards; nothing is written to the user's home.
set -u
source "$(dirname "$0")/../support/kit.sh"
tmp=$KIT_TMP
chmod 700 "$tmp"
export XDG_RUNTIME_DIR="$tmp" PULSE_COOKIE="$tmp/cookie" PULSE_SERVER="unix:$tmp/native"
export HOME="$tmp"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disallow-exit \
    --load="module-null-sink sink_name=orvell_null" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$tmp/native" \
    >"$tmp/pulseaudio.log" 2>&1 &
kit_track $!
kit_details() { cat "$tmp/pulseaudio.log"; }
wait_for 10 pactl info || fatal "pulseaudio did not start"
"$@"
