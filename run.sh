#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts Chromaport. Without a
# desktop session (no DISPLAY or WAYLAND_DISPLAY: a server, a container, ssh
# without X) it shows the conversion on a sample instead: a 24 MP photo-like
# sRGB image converted to CMYK by the command-line tool, into ./chromaport-demo/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Chromaport's windows need a desktop session (neither DISPLAY nor WAYLAND_DISPLAY is set); converting a sample image with build/chromaport-cli instead."
  demo="$PWD/chromaport-demo"
  mkdir -p "$demo"
  build/bench/chromaport_bench_tiff make photo 6000 4000 "$demo/sample-srgb.tif"
  echo "Converting $demo/sample-srgb.tif to $demo/sample-cmyk.tif"
  status=0
  build/chromaport-cli -s /usr/share/color/icc/colord/sRGB.icc \
    -d /usr/share/color/icc/ghostscript/default_cmyk.icc \
    "$demo/sample-srgb.tif" "$demo/sample-cmyk.tif" || status=$?
  exit "$status"
fi

if [ -x build/chromaport ]; then
  exec build/chromaport "$@"
fi
echo "The windowed program is not built yet; the command-line tool is build/chromaport-cli:"
exec build/chromaport-cli --help
