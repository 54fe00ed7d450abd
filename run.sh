#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts Chromaport.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
if [ -x build/chromaport ]; then
  exec build/chromaport "$@"
fi
echo "The windowed program is not built yet; the command-line tool is build/chromaport-cli:"
exec build/chromaport-cli --help
