#!/usr/bin/env bash
# Redraws the README's pictures of the main window and the status window,
# without a display: builds the small grabbing tool and runs it on Qt's
# offscreen platform. BUILD_DIR picks the build folder (default build/);
# SCALE=2 draws them at 200 % instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target chromaport_screenshots -j "$(nproc)"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="${SCALE:-1}" \
  "$build_dir/ui/chromaport_screenshots" docs/screenshots
