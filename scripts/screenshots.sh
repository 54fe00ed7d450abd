#!/usr/bin/env bash
# Redraws the README's pictures of the windows, without a display: builds the
# small grabbing tool and runs it on Qt's offscreen platform. BUILD_DIR picks
# the build folder (default build/); SCALE=2 draws them at 200 % instead, into
# files named *@2x.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
scale="${SCALE:-1}"
suffix=""
if [ "$scale" != 1 ]; then
  suffix="@${scale}x"
fi
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target chromaport_screenshots -j "$(nproc)"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR="$scale" \
  "$build_dir/ui/chromaport_screenshots" docs/screenshots "$suffix"
