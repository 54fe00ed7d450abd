#!/usr/bin/env bash
# Writes CHANGES.md as a Debian changelog: one entry per "## VERSION"
# section, each "- " item a "  * " line, wrapped at 78 columns.
#   scripts/debian-changelog.sh CHANGES.md "Name <address>" changelog
set -euo pipefail
changes=$1
maintainer=$2
exec >"$3"
date=$(date -R -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}")

entry() { # version, items file
  printf 'chromaport (%s) unstable; urgency=medium\n\n' "$1"
  awk '
    /^- / { if (item != "") print item; item = substr($0, 3); next }
    /^  / && item != "" { sub(/^ +/, ""); item = item " " $0; next }
    { if (item != "") print item; item = "" }
    END { if (item != "") print item }
  ' "$2" | while IFS= read -r item; do
    printf '%s\n' "$item" | fmt -w 74 | sed '1s/^/  * /; 2,$s/^/    /'
  done
  printf '\n -- %s  %s\n\n' "$maintainer" "$date"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
awk -v dir="$tmp" '
  /^## / { n++; split($2, v, " "); print v[1] > (dir "/version" n); next }
  n { print > (dir "/items" n) }
' "$changes"
for version in "$tmp"/version*; do
  n=${version##*version}
  entry "$(cat "$version")" "$tmp/items$n"
done
