#!/usr/bin/env bash
# Where the time of one conversion goes: runs chromaport-cli under perf (call
# stacks) on one of bench/compare.sh's cases and prints the share of the
# process's samples in each part of the work. Run compare.sh first (with the
# same QUICK and WORK_DIR), which makes the images.
#
#   bench/profile.sh CASE [CLI]     e.g. QUICK=1 bench/profile.sh noise_cmyk
#   QUICK=1                         the 6 MP images (default 24 MP)
#   WORK_DIR=DIR                    compare.sh's folder (default /tmp/chromaport-bench)
#   CLI                             the program to profile (default build/chromaport-cli)
#
# Installs linux-perf when it is missing (as root). The parts are matched on
# the function names of each sample's stack, the first that matches counting.
set -euo pipefail
cd "$(dirname "$0")/.."

CASE=${1:?usage: bench/profile.sh CASE [CLI]}
CLI=${2:-build/chromaport-cli}
WORK_DIR=${WORK_DIR:-/tmp/chromaport-bench}
if [ "${QUICK:-0}" = 1 ]; then SIZE=3000x2000 TALL=3000x8000; else SIZE=6000x4000 TALL=6000x16000; fi

if ! command -v perf >/dev/null; then
    [ "$(id -u)" -eq 0 ] || { echo "profile.sh: perf is missing: apt-get install linux-perf" >&2; exit 1; }
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq linux-perf >/dev/null
fi

ICC=/usr/share/color/icc
RGB=$ICC/sRGB.icc CMYK=$ICC/ghostscript/default_cmyk.icc
ADOBE=$ICC/compatibleWithAdobeRGB1998.icc LAB=$ICC/LCMSLABI.ICM
case "$CASE" in
photo_cmyk) IMAGE=photo-v2-$SIZE S=$RGB D=$CMYK ;;
gradient_cmyk) IMAGE=gradient-v2-$SIZE S=$RGB D=$CMYK ;;
noise_cmyk) IMAGE=noise-v2-$SIZE S=$RGB D=$CMYK ;;
photo_rgb) IMAGE=photo-v2-$SIZE S=$RGB D=$ADOBE ;;
lab_cmyk) IMAGE=lab-v2-$SIZE S=$LAB D=$CMYK ;;
tall_cmyk) IMAGE=photo-v2-$TALL S=$RGB D=$CMYK ;;
plasma_cmyk) IMAGE=plasma-$SIZE S=$RGB D=$CMYK ;;
upscaled_cmyk) IMAGE=upscaled-$SIZE S=$RGB D=$CMYK ;;
photo16_cmyk) IMAGE=photo16-v1-$SIZE S=$RGB D=$CMYK ;;
cmyk16_rgb) IMAGE=cmyk16-v1-$SIZE S=$CMYK D=$ADOBE ;;
*) echo "profile.sh: unknown case '$CASE'" >&2; exit 2 ;;
esac
INPUT=$WORK_DIR/images/$IMAGE.tif
[ -f "$INPUT" ] || { echo "profile.sh: no $INPUT: run bench/compare.sh first" >&2; exit 1; }

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
perf record -q --call-graph dwarf,16384 -F 2000 -o "$TMP/perf.data" \
    "$CLI" -q -i relative -s "$S" -d "$D" "$INPUT" "$TMP/out.tif" >/dev/null 2>&1
perf script -i "$TMP/perf.data" 2>/dev/null >"$TMP/stacks.txt"
python3 - "$TMP/stacks.txt" "$CASE" <<'PY'
import collections, re, sys
# A sample counts for the first part whose names appear anywhere on its stack.
parts = [
    ('memory pages', ['exc_page_fault', 'madvise', 'PrepareForWriting']),
    ('evaluator set-up', ['MakeFastEval', 'icBuildFastEval']),
    ('transform set-up', ['CIccCmm::Begin', 'AddXform', 'cmsCreate', 'cmsOpenProfile']),
    ('reading', ['CTiffImage::ReadRow', 'TIFFReadScanline', 'OpenForRead', 'SourceRead']),
    ('writing', ['CTiffWriter', 'TIFFWrite', 'TIFFFlush', 'fsync', 'sync_file_range', 'SinkWrite']),
    ('thread hand-off', ['futex', 'pthread_cond', '__lll_lock', 'WaitUntilDone']),
    ('evaluation', ['MissBatch', 'ApplyLanes', 'ApplyBytes', 'IccFastEval', 'cmsDoTransform',
                    'CIccCmm::Apply', 'RunStep', 'Lerp', 'ConvertRowBatched', 'ConvertRowPixels']),
    ('table lookups', ['ConvertRowWith']),
    ('start-up', ['_dl_', 'dl_main', '_start']),
]
count, total = collections.Counter(), 0
for stack in open(sys.argv[1]).read().split('\n\n'):
    frames = [re.sub(r'^[0-9a-f]+ ', '', l.strip()) for l in stack.split('\n')[1:] if l.strip()]
    if not frames:
        continue
    text = ' | '.join(frames)
    total += 1
    count[next((name for name, keys in parts if any(k in text for k in keys)), 'other')] += 1
print('%s: %d samples: %s' % (sys.argv[2], total, ', '.join(
    '%s %.0f %%' % (name, 100.0 * n / total) for name, n in count.most_common())))
PY
