#!/usr/bin/env bash
# Builds the Debian package chromaport_<version>_<arch>.deb into the project
# folder, from the build folder (BUILD_DIR, default build/; configured and
# built first when needed). Needs dpkg-dev for dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" -j "$(nproc)" --target chromaport chromaport-cli chromaport_package_files
(cd "$build_dir" && cpack -G DEB -B "$PWD/package" >/dev/null)
deb=$(ls "$build_dir"/package/chromaport_*.deb)
cp "$deb" .
echo "${deb##*/}"
