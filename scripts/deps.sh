#!/usr/bin/env bash
# Installs the Debian packages Chromaport needs to build, test and run.
# Shared by test.sh and run.sh so the two can never disagree on the list.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  libtiff-dev liblcms2-dev libgtest-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  colord-data icc-profiles-free ghostscript
)

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
