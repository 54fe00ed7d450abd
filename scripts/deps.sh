#!/usr/bin/env bash
# Installs the Debian packages Chromaport needs to build, test and run.
# Shared by test.sh and run.sh so the two can never disagree on the list.
#   scripts/deps.sh          what building, testing and running need
#   scripts/deps.sh --fuzz   also clang and libFuzzer, for scripts/fuzz.sh
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  libtiff-dev liblcms2-dev libgtest-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  colord-data icc-profiles-free ghostscript
  parallel
  dpkg-dev lintian desktop-file-utils appstream man-db
)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

if [ "${1:-}" = "--fuzz" ]; then
  PACKAGES+=("${FUZZ_PACKAGES[@]}")
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages and not root: run as root, or install them yourself: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
