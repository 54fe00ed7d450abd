#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer and the sanitizers into
# build-fuzz/, writes their seed inputs into fuzz/corpus/ (made with the tests'
# support library, plus Debian's ICC profiles), and runs each target for a
# while over its corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#       SECONDS  per target, default 60
#       TARGET   tiff_reader, icc_profile, conversion (default: all three)
#
# Fails when any target finds a crash, a leak, a time-out, a memory blow-up
# or a sanitizer report. The input that did it is copied (shrunk when it is a
# crash) into fuzz/regressions/TARGET/, which the normal test run replays, and
# its path is printed. Inputs that reach new code stay in fuzz/corpus/ and seed
# the next run. CHROMAPORT_FUZZ_BUILD and CHROMAPORT_JOBS change the build
# folder and the build's parallel jobs.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${CHROMAPORT_FUZZ_BUILD:-$ROOT/build-fuzz}
JOBS=${CHROMAPORT_JOBS:-$(nproc)}
SECONDS_EACH=${1:-60}
[ $# -gt 0 ] && shift
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(tiff_reader icc_profile conversion)
if ! [[ $SECONDS_EACH =~ ^[0-9]+$ ]] || [ "$SECONDS_EACH" -lt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [tiff_reader|icc_profile|conversion...]" >&2
  exit 2
fi

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing: run scripts/deps.sh --fuzz as root" >&2
  exit 1
fi

declare -A DICT=([tiff_reader]=tiff [conversion]=tiff [icc_profile]=icc)
for t in "${TARGETS[@]}"; do
  if [ -z "${DICT[$t]:-}" ]; then
    echo "fuzz.sh: unknown target '$t'" >&2
    exit 2
  fi
done

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCHROMAPORT_FUZZ=ON -DCHROMAPORT_BUILD_GUI=OFF -DCHROMAPORT_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target make_corpus "${TARGETS[@]/%/_fuzzer}"

CORPUS=$ROOT/fuzz/corpus
# The targets and make_corpus write their scratch files under $TMPDIR: in memory when it can.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
"$BUILD/fuzz/make_corpus" "$CORPUS"
# Debian's profiles as well, but the largest: inputs that big slow every mutation down and hold
# no tag type the others lack. Named after their path, as several are called sRGB.icc.
if [ -d /usr/share/color/icc ]; then
  (cd /usr/share/color/icc && find . -type f \( -iname '*.icc' -o -iname '*.icm' \) -size -200k) |
    while read -r profile; do
      name=${profile#./}
      cp "/usr/share/color/icc/$name" "$CORPUS/icc_profile/system-${name//\//-}"
    done
fi

# Sanitizer reports end the input at once; libFuzzer turns them into a
# failure with the input saved.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=0
passed=0
for t in "${TARGETS[@]}"; do
  fuzzer=$BUILD/fuzz/${t}_fuzzer
  artifacts=$BUILD/fuzz/artifacts/$t
  log=$BUILD/fuzz/$t.log
  rm -rf "$artifacts"
  mkdir -p "$artifacts" "$CORPUS/$t"
  echo "== $t: $SECONDS_EACH s"
  status=0
  "$fuzzer" "$CORPUS/$t" \
    -dict="$ROOT/fuzz/dict/${DICT[$t]}.dict" \
    -max_total_time="$SECONDS_EACH" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=2048 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 >"$log" 2>&1 || status=$?

  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
  echo "   ${runs:-?} runs (${rate:-?}/s), cov ${cov:-?}, ft ${ft:-?}, corpus ${corp:-?}," \
       "peak RSS ${rss:-?} MB; log $log"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$t" "$SECONDS_EACH" \
    "${runs:-}" "${cov:-}" "${ft:-}" "$status" >>"$BUILD/fuzz-history.tsv"

  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "!! $t failed (exit $status):"
    grep -E 'ERROR: |SUMMARY: |runtime error|chromaport fuzz:' "$log" | head -n 5 | sed 's/^/   /'
    mkdir -p "$ROOT/fuzz/regressions/$t"
    for input in "$artifacts"/*; do
      [ -f "$input" ] || continue
      name=$(basename "$input")
      case $name in
        crash-*)
          # The smallest input that still fails is the one worth keeping.
          "$fuzzer" -minimize_crash=1 -max_total_time=30 -timeout=10 -rss_limit_mb=2048 \
            -exact_artifact_path="$artifacts/min-$name" "$input" >/dev/null 2>&1 || true
          [ -s "$artifacts/min-$name" ] && input=$artifacts/min-$name ;;
        min-*) continue ;;
      esac
      cp "$input" "$ROOT/fuzz/regressions/$t/$name"
      echo "   reproducer: $ROOT/fuzz/regressions/$t/$name"
      echo "   replay:     $fuzzer $ROOT/fuzz/regressions/$t/$name"
    done
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
