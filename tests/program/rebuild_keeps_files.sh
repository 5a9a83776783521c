#!/usr/bin/env bash
# A build tree of its own: the build places config.ini and the sound beside the
# program; after the user has edited both, configuring and building again keeps them,
# and a file the user removed comes back as the default.
#   rebuild_keeps_files.sh SOURCE_DIR
set -u
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build() {
    cmake -S "$source_dir" -B "$work/build" -G Ninja -DORVELL_BUILD_TESTS=OFF \
        -DORVELL_BUILD_BENCH=OFF >"$work/log" 2>&1 &&
        cmake --build "$work/build" --target orvell_runtime_files >>"$work/log" 2>&1 ||
        { echo "FAIL the build: $(cat "$work/log")"; exit 1; }
}
fail=0
build
cmp -s "$source_dir/resources/config.ini" "$work/build/config.ini" &&
    cmp -s "$source_dir/resources/Sounds/chime.wav" "$work/build/Sounds/chime.wav" ||
    { echo "FAIL the first build did not place the defaults"; exit 1; }

printf '"http://my.example/watched"\r\n1\r\n"mine.wav"\r\n' >"$work/build/config.ini"
printf 'RIFF my own sound' >"$work/build/Sounds/chime.wav"
printf 'RIFF another sound' >"$work/build/Sounds/mine.wav"
cp -p "$work/build/config.ini" "$work/build/Sounds/chime.wav" "$work"
build
for f in config.ini Sounds/chime.wav; do
    if cmp -s "$work/$(basename "$f")" "$work/build/$f"; then echo "PASS a rebuild keeps the edited $f"
    else echo "FAIL a rebuild replaced the edited $f"; fail=1; fi
done
[ -f "$work/build/Sounds/mine.wav" ] || { echo "FAIL the user's own sound is gone"; fail=1; }

rm "$work/build/config.ini"
build
if cmp -s "$source_dir/resources/config.ini" "$work/build/config.ini"; then
    echo "PASS a removed config.ini comes back as the default"
else echo "FAIL no default config.ini after it was removed"; fail=1; fi
exit $fail
