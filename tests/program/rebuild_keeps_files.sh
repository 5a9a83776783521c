#!/usr/bin/env bash
# A build tree of its own: the build places config.ini and the sound beside the
# program; after the user has edited both, configuring and building again keeps them,
# and a file the user removed comes back as the default.
#   rebuild_keeps_files.sh SOURCE_DIR
set -u
source_dir=$1
source "$(dirname "$0")/../support/kit.sh"
work=$KIT_TMP
build() {
    cmake -S "$source_dir" -B "$work/build" -G Ninja -DORVELL_BUILD_TESTS=OFF \
        -DORVELL_BUILD_BENCH=OFF >"$work/log" 2>&1 &&
        cmake --build "$work/build" --target orvell_runtime_files >>"$work/log" 2>&1 ||
        fatal "the build: $(cat "$work/log")"
}
build
cmp -s "$source_dir/resources/config.ini" "$work/build/config.ini" &&
    cmp -s "$source_dir/resources/Sounds/chime.wav" "$work/build/Sounds/chime.wav" ||
    fatal "the first build did not place the defaults"

printf '"http://my.example/watched"\r\n1\r\n"mine.wav"\r\n' >"$work/build/config.ini"
printf 'RIFF my own sound' >"$work/build/Sounds/chime.wav"
printf 'RIFF another sound' >"$work/build/Sounds/mine.wav"
cp -p "$work/build/config.ini" "$work/build/Sounds/chime.wav" "$work"
build
for f in config.ini Sounds/chime.wav; do
    if cmp -s "$work/$(basename "$f")" "$work/build/$f"; then pass "a rebuild keeps the edited $f"
    else failed "a rebuild replaced the edited $f"; fi
done
[ -f "$work/build/Sounds/mine.wav" ] || failed "the user's own sound is gone"

rm "$work/build/config.ini"
build
if cmp -s "$source_dir/resources/config.ini" "$work/build/config.ini"; then
    pass "a removed config.ini comes back as the default"
else failed "no default config.ini after it was removed"; fi
exit $fail
