#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite through CTest.
# Then builds the fuzz targets with clang (build-fuzz/) and runs each one for a
# bounded time (ORVELL_FUZZ_SECONDS, default 30) through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVELL_SANITIZE=ON -DORVELL_WERROR=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure "$@"
cmake -S . -B build-fuzz -G Ninja -DORVELL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DORVELL_FUZZ_SECONDS="${ORVELL_FUZZ_SECONDS:-30}" >/dev/null
cmake --build build-fuzz
ctest --test-dir build-fuzz --output-on-failure
