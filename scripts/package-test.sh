#!/usr/bin/env bash
# Builds the Debian package and checks it with lintian; as root, also installs
# it, tries what it put in place (the installed tool converts an image, the
# manual page is found, the desktop entry and AppStream file validate) and
# removes it again, also when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
report=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$report" ] || printf '%s\n' "$report"
if grep -q '^E: ' <<<"$report"; then
  echo "package: lintian found errors" >&2
  exit 1
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "package: not root, so $deb is built and checked but not installed"
  exit 0
fi
if dpkg-query -W -f='${Status}' chromaport 2>/dev/null | grep -q 'install ok installed'; then
  echo "package: chromaport is already installed here; the installed checks are skipped"
  exit 0
fi

tmp=$(mktemp -d)
cleanup() {
  apt-get purge -y -qq chromaport >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
apt-get install -y -qq "./$deb" >/dev/null
"$build_dir/bench/chromaport_bench_tiff" make photo 64 48 "$tmp/in.tif"
/usr/bin/chromaport-cli -q -s /usr/share/color/icc/colord/sRGB.icc \
  -d /usr/share/color/icc/ghostscript/default_cmyk.icc "$tmp/in.tif" "$tmp/out.tif" >/dev/null
test -s "$tmp/out.tif"
/usr/bin/chromaport-cli --version | head -n 1 | grep -qx "chromaport-cli $(dpkg-query -W -f='${Version}' chromaport)"
# Slim Debian images tell dpkg to leave manual pages out; they are then
# looked for in the package instead.
if grep -rqs '^path-exclude=*/usr/share/man' /etc/dpkg/dpkg.cfg.d; then
  echo "package: dpkg here leaves manual pages out; looking for them in $deb"
  dpkg-deb -c "$deb" | grep -q 'usr/share/man/man1/chromaport-cli.1.gz'
  dpkg-deb -c "$deb" | grep -q 'usr/share/man/man1/chromaport.1.gz'
else
  man -w chromaport-cli >/dev/null
  man -w chromaport >/dev/null
fi
desktop-file-validate /usr/share/applications/chromaport.desktop
appstreamcli validate --no-net /usr/share/metainfo/example.larkspur.chromaport.metainfo.xml >/dev/null
test -f /usr/share/bash-completion/completions/chromaport-cli
echo "package: installed, converted an image, checked, removed"
