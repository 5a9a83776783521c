#!/usr/bin/env bash
# Installs what is missing, checks that the C++ sources are formatted
# (tools/check-format.sh), builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite through CTest.
# Then builds the fuzz targets with clang (build-fuzz/) and runs each one for a
# bounded time (ORVELL_FUZZ_SECONDS, default 30) through CTest. Then builds the Windows
# program (tools/windows.sh; Qt for Windows is built once, about 25 minutes on 2 cores)
# and runs its tests under Wine. ORVELL_SKIP_WINDOWS=1 leaves the Windows part out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
bash tools/check-format.sh
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers
ctest --preset sanitizers "$@"
# The fuzz build compiles the HTML parser instrumented, from Debian's source package.
cmake --preset fuzz -DORVELL_FUZZ_SECONDS="${ORVELL_FUZZ_SECONDS:-30}" \
      -DORVELL_LIBXML2_SOURCE="$(bash tools/libxml2-source.sh)" >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
if [ "${ORVELL_SKIP_WINDOWS:-0}" != 1 ]; then
  ORVELL_LINUX_SERVE="$PWD/build-test/tests/support/orvell_serve" ./tools/windows.sh --test
fi
