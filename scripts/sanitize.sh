#!/usr/bin/env bash
# Builds everything but the windows with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the tests there: the
# colour layer, the engine, the file code, the test support, the command-line
# tool, and the replay of the fuzz regressions. Any sanitizer report fails
# the test it happens in. Tests labelled slow (the evaluator's walk of the
# whole RGB cube) would take most of an hour here: they run on a sample of
# levels instead. The lane-wise colour kernels are built here in their
# baseline copy alone, so that it is tested wherever the ordinary build picks
# the AVX2 copy. CHROMAPORT_ASAN_BUILD and CHROMAPORT_JOBS change the build
# folder and the parallel jobs.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${CHROMAPORT_ASAN_BUILD:-$ROOT/build-asan}
JOBS=${CHROMAPORT_JOBS:-$(nproc)}
FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

# -O1 builds in half the time of -O2 and runs the tests nearly as fast;
# without NDEBUG the program's own assertions are checked as well.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCHROMAPORT_BUILD_GUI=OFF -DCHROMAPORT_BUILD_BENCH=OFF -DCHROMAPORT_SIMD_CLONES=OFF \
  -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$BUILD" -j "$JOBS"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_init_order=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" -LE slow
CHROMAPORT_CUBE_STEP=15 "$BUILD/tests/FastEvalSlowTest"
