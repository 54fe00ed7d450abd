#!/usr/bin/env bash
# Runs the tests and the benchmark's checksums with other Little CMS releases,
# one row a release:
#   scripts/lcms-matrix.sh PREFIX...
# Each PREFIX holds an installed Little CMS (PREFIX/lib/liblcms2.so.2), built
# from its sources in a scratch folder. The programs of build/ run with each
# library through LD_LIBRARY_PATH; the first PREFIX's outputs are the
# checksums' reference (give the system's release first). Slow tests are left
# out unless SLOW=1. Settings: BUILD_DIR (default build/), WORK_DIR (default
# /tmp/chromaport-matrix).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${BUILD_DIR:-$root/build}" && pwd)
work_dir=${WORK_DIR:-/tmp/chromaport-matrix}
label=(-LE slow)
[ "${SLOW:-0}" = 1 ] && label=()
reset=1
printf '| Little CMS | tests | fast path | checksums (6 MP, 10 cases) | time of the 10 cases |\n'
printf '|---|---|---|---|---|\n'
for prefix in "$@"; do
  export LD_LIBRARY_PATH="$prefix/lib"
  version=$("$build_dir/chromaport-cli" --version | sed -n 's/^Little CMS \([^ ]*\).*/\1/p')
  fast=$("$build_dir/chromaport-cli" --version | sed -n 's/^Exact fast path: //p')
  tests=$(cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest "${label[@]}" -j "$(nproc)" 2>&1 |
            sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests failed out of \([0-9]*\)/\2 run, \1 failed/p')
  out=$(QUICK=1 RUNS=1 TOOLS=chromaport WORK_DIR="$work_dir" BUILD_DIR="$build_dir" \
          RESET_REFERENCE=$reset "$root/bench/compare.sh" 2>/dev/null)
  same=$(grep -cE '^  [a-z0-9_]+ +yes +(new reference|same as reference)' <<<"$out" || true)
  seconds=$(tail -n 10 "$work_dir/runs.txt" | awk '{ sum += $3 } END { printf "%.2f s", sum }')
  printf '| %s | %s | %s | %s of 10 as the reference | %s |\n' "$version" "$tests" "$fast" "$same" "$seconds"
  reset=0
done
