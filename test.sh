#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test, builds
# the Debian package and (as root) tries it installed; then
# builds the engine's tests with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ and runs them, and runs each fuzz target for a minute.
#
#   ./test.sh            everything, as CI runs it
#   QUICK=1 ./test.sh    only the ordinary build and its tests
#   FUZZ_SECONDS=N       how long each fuzz target runs (default 60)
set -euo pipefail
cd "$(dirname "$0")"

if [ "${QUICK:-0}" = 1 ]; then
  scripts/deps.sh
else
  scripts/deps.sh --fuzz
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
scripts/package-test.sh

if [ "${QUICK:-0}" != 1 ]; then
  scripts/sanitize.sh
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
fi
