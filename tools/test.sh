#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite through CTest.
# Then builds the fuzz targets with clang (build-fuzz/) and runs each one for a
# bounded time (ORVELL_FUZZ_SECONDS, default 30) through CTest. Then builds the Windows
# program (tools/windows.sh; Qt for Windows is built once, about 25 minutes on 2 cores)
# and runs its tests under Wine. ORVELL_SKIP_WINDOWS=1 leaves the Windows part out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVELL_SANITIZE=ON -DORVELL_WERROR=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure "$@"
# The fuzz build compiles the HTML parser from Debian's source, instrumented.
if ! gumbo_source=$(bash tools/gumbo-source.sh); then
  echo "warning: gumbo's source could not be fetched; the fuzz build uses Debian's library," \
       "whose code the fuzzer does not see" >&2
  gumbo_source=""
fi
cmake -S . -B build-fuzz -G Ninja -DORVELL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_C_COMPILER=clang -DORVELL_GUMBO_SOURCE="$gumbo_source" \
      -DORVELL_FUZZ_SECONDS="${ORVELL_FUZZ_SECONDS:-30}" >/dev/null
cmake --build build-fuzz
ctest --test-dir build-fuzz --output-on-failure
if [ "${ORVELL_SKIP_WINDOWS:-0}" != 1 ]; then
  ORVELL_LINUX_SERVE="$PWD/build-test/tests/support/orvell_serve" ./tools/windows.sh --test
fi
