#!/usr/bin/env bash
# Times chromaport-cli against tificc (Little CMS), cctiff (ArgyllCMS),
# ImageMagick and vips on the same generated images and profiles, and prints
# one table: median wall time, CPU time and peak memory of each tool, its ratio
# to chromaport-cli, and how many output samples it shares with chromaport-cli.
#
# Settings (environment):
#   QUICK=1            6 MP images (3000x2000, tall 3000x8000) and 3 runs
#   RUNS=N             runs of every tool on every case (default 5, QUICK 3)
#   WORK_DIR=DIR       images, outputs and results (default /tmp/chromaport-bench)
#   BUILD_DIR=DIR      build folder (default build/ of this clone, as ./test.sh); a folder
#                      configured from another checkout is used as it is while it has
#                      its programs
#   BASE_BUILD_DIR=DIR a build of another commit (the one before a change): its
#                      chromaport-cli runs as the tool chromaport_base with the same
#                      arguments as chromaport, in turn with it, and is added to the
#                      default TOOLS; built (from its own checkout) only when its
#                      chromaport-cli is missing
#   CASES="..."        subset of: photo_cmyk gradient_cmyk noise_cmyk photo_rgb lab_cmyk tall_cmyk
#                      plasma_cmyk upscaled_cmyk photo16_cmyk cmyk16_rgb
#   TOOLS="..."        subset of: chromaport chromaport_base tificc tificc_c0 cctiff cctiff_p
#                      magick vips
#   KEEP_OUTPUTS=1     keep the converted images in WORK_DIR/out
#   RESET_REFERENCE=1  take this run's chromaport-cli checksums as the new reference
#   SRC_RGB, DST_CMYK, DST_RGB, SRC_LAB   other profiles than the defaults below
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
QUICK=${QUICK:-0}
if [ "$QUICK" = 1 ]; then
    WIDTH=3000 HEIGHT=2000 TALL_HEIGHT=8000 RUNS=${RUNS:-3}
else
    WIDTH=6000 HEIGHT=4000 TALL_HEIGHT=16000 RUNS=${RUNS:-5}
fi
WORK_DIR=${WORK_DIR:-/tmp/chromaport-bench}
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
CASES=${CASES:-photo_cmyk gradient_cmyk noise_cmyk photo_rgb lab_cmyk tall_cmyk plasma_cmyk upscaled_cmyk photo16_cmyk cmyk16_rgb}
BASE_BUILD_DIR=${BASE_BUILD_DIR:-}
if [ -n "$BASE_BUILD_DIR" ]; then
    TOOLS=${TOOLS:-chromaport chromaport_base tificc tificc_c0 cctiff cctiff_p magick vips}
else
    TOOLS=${TOOLS:-chromaport tificc tificc_c0 cctiff cctiff_p magick vips}
fi
ICC=/usr/share/color/icc
SRC_RGB=${SRC_RGB:-$ICC/sRGB.icc}                        # icc-profiles-free, ICC v2
DST_CMYK=${DST_CMYK:-$ICC/ghostscript/default_cmyk.icc}  # libgs-common (ghostscript)
DST_RGB=${DST_RGB:-$ICC/compatibleWithAdobeRGB1998.icc}  # icc-profiles-free, ICC v2
SRC_LAB=${SRC_LAB:-$ICC/LCMSLABI.ICM}                    # icc-profiles-free, Lab identity

IMG_DIR=$WORK_DIR/images
OUT_DIR=$WORK_DIR/out
RESULTS=$WORK_DIR/runs.txt
REFERENCE=$WORK_DIR/reference-md5-v2-${WIDTH}x${HEIGHT}.txt

say() { echo "$*" >&2; }
die() {
    say "compare.sh: $*"
    exit 1
}

# ---------------------------------------------------------------- set-up

install_peers() {
    local wanted=(liblcms2-utils argyll imagemagick libvips-tools time) missing=() p
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    [ "$(id -u)" -eq 0 ] || die "missing packages ${missing[*]}: run as root or install them"
    say "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The checkout a build folder was configured from; this clone for a new folder.
source_of() {
    local src
    src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$1/CMakeCache.txt" 2>/dev/null || true)
    realpath "${src:-$ROOT}"
}

# Configures the folder from the given checkout and builds the targets.
build_in() {
    local dir=$1 src=$2 log=$3
    shift 3
    local args=(-S "$src" -B "$dir" -DCHROMAPORT_BUILD_BENCH=ON)
    [ -f "$dir/CMakeCache.txt" ] || args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
    say "Building $* in $dir"
    if ! { cmake "${args[@]}" &&
        cmake --build "$dir" --target "$@" -j "$(nproc)"; } >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        die "the build failed (whole log: $log)"
    fi
}

build_type() {
    local type
    type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$1/CMakeCache.txt")
    case "$type" in
    Release | RelWithDebInfo | MinSizeRel) ;;
    *) say "warning: $1 is a '$type' build: its timings mean little" ;;
    esac
    echo "$type"
}

# A folder configured from another checkout is taken as it is: building it
# again would bring in whatever that checkout holds now.
build_tools() {
    "$ROOT/scripts/deps.sh"
    CLI=$BUILD_DIR/chromaport-cli
    TIFFTOOL=$BUILD_DIR/bench/chromaport_bench_tiff
    local src
    src=$(source_of "$BUILD_DIR")
    if [ "$src" = "$(realpath "$ROOT")" ] || [ ! -x "$CLI" ] || [ ! -x "$TIFFTOOL" ]; then
        build_in "$BUILD_DIR" "$src" "$WORK_DIR/build.log" chromaport-cli chromaport_bench_tiff
    else
        say "Using $BUILD_DIR as it is (configured from $src)"
    fi
    BUILD_TYPE=$(build_type "$BUILD_DIR")
    if selected chromaport_base; then
        build_base
    fi
}

# The base stands for a fixed commit, so it is only built when its program is
# missing, and then from the checkout it was configured from. Its own image
# tool is not needed: the images and comparisons are BUILD_DIR's.
build_base() {
    [ -n "$BASE_BUILD_DIR" ] || die "the tool chromaport_base needs BASE_BUILD_DIR"
    BASE_CLI=$BASE_BUILD_DIR/chromaport-cli
    if [ ! -x "$BASE_CLI" ]; then
        [ -f "$BASE_BUILD_DIR/CMakeCache.txt" ] ||
            die "$BASE_BUILD_DIR holds no chromaport-cli and no CMakeCache.txt: configure it from the base commit's checkout first"
        build_in "$BASE_BUILD_DIR" "$(source_of "$BASE_BUILD_DIR")" "$WORK_DIR/build-base.log" \
            chromaport-cli
    fi
    BASE_TYPE=$(build_type "$BASE_BUILD_DIR")
}

find_magick() {
    # Debian's real binary first: /usr/bin/convert is an alternative that
    # other packages or local wrappers may take over.
    local c
    for c in magick convert-im6.q16 convert-im6 /usr/bin/convert convert; do
        if command -v "$c" >/dev/null 2>&1; then
            MAGICK=$(command -v "$c")
            return
        fi
    done
    die "ImageMagick not found"
}

# Debian's policy caps ImageMagick's pixel cache at 256 MiB of memory and
# 1 GiB of disk, which makes it fail on the tall image; the benchmark lifts
# those caps for its own runs only.
write_magick_policy() {
    mkdir -p "$WORK_DIR/magick"
    cat >"$WORK_DIR/magick/policy.xml" <<'EOF'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="width" value="100KP"/>
  <policy domain="resource" name="height" value="100KP"/>
  <policy domain="resource" name="area" value="4GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
EOF
}

check_profiles() {
    local p
    for p in "$SRC_RGB" "$DST_CMYK" "$DST_RGB" "$SRC_LAB"; do
        [ -r "$p" ] || die "profile $p not found (packages icc-profiles-free, ghostscript)"
    done
}

# Images carry their size and the generator's version in their names, so a
# work folder can be reused without ever mixing sizes.
make_image() {
    local pattern=$1 width=$2 height=$3 file=$4
    [ -s "$file" ] && return
    say "Generating $file"
    "$TIFFTOOL" make "$pattern" "$width" "$height" "$file.part"
    mv "$file.part" "$file"
}

# Images of many colours made by ImageMagick from a fixed seed: a plasma
# fractal with Gaussian noise (about 3.1 M distinct colours in 24 MP) and its
# built-in rose photo upscaled with light noise (about 2.1 M).
make_magick_image() {
    local kind=$1 width=$2 height=$3 file=$4
    [ -s "$file" ] && return
    say "Generating $file with ImageMagick"
    case "$kind" in
    plasma)
        env "MAGICK_CONFIGURE_PATH=$WORK_DIR/magick" "$MAGICK" -seed 7 -size "${width}x${height}" \
            plasma:fractal -attenuate 0.3 +noise Gaussian -depth 8 -type TrueColor \
            -compress none "tiff:$file.part" ;;
    upscaled)
        env "MAGICK_CONFIGURE_PATH=$WORK_DIR/magick" "$MAGICK" -seed 7 rose: -filter Lanczos \
            -resize "${width}x${height}!" -attenuate 0.3 +noise Gaussian -depth 8 -type TrueColor \
            -compress none "tiff:$file.part" ;;
    esac
    mv "$file.part" "$file"
    say "  $("$TIFFTOOL" distinct "$file") distinct colours"
}

generate_images() {
    mkdir -p "$IMG_DIR"
    PHOTO=$IMG_DIR/photo-v2-${WIDTH}x${HEIGHT}.tif
    GRADIENT=$IMG_DIR/gradient-v2-${WIDTH}x${HEIGHT}.tif
    NOISE=$IMG_DIR/noise-v2-${WIDTH}x${HEIGHT}.tif
    LAB=$IMG_DIR/lab-v2-${WIDTH}x${HEIGHT}.tif
    TALL=$IMG_DIR/photo-v2-${WIDTH}x${TALL_HEIGHT}.tif
    PLASMA=$IMG_DIR/plasma-${WIDTH}x${HEIGHT}.tif
    UPSCALED=$IMG_DIR/upscaled-${WIDTH}x${HEIGHT}.tif
    PHOTO16=$IMG_DIR/photo16-v1-${WIDTH}x${HEIGHT}.tif
    CMYK16=$IMG_DIR/cmyk16-v1-${WIDTH}x${HEIGHT}.tif
    local c
    for c in $CASES; do
        case "$c" in
        photo_cmyk | photo_rgb) make_image photo "$WIDTH" "$HEIGHT" "$PHOTO" ;;
        gradient_cmyk) make_image gradient "$WIDTH" "$HEIGHT" "$GRADIENT" ;;
        noise_cmyk) make_image noise "$WIDTH" "$HEIGHT" "$NOISE" ;;
        lab_cmyk) make_image lab "$WIDTH" "$HEIGHT" "$LAB" ;;
        tall_cmyk) make_image photo "$WIDTH" "$TALL_HEIGHT" "$TALL" ;;
        plasma_cmyk) make_magick_image plasma "$WIDTH" "$HEIGHT" "$PLASMA" ;;
        upscaled_cmyk) make_magick_image upscaled "$WIDTH" "$HEIGHT" "$UPSCALED" ;;
        photo16_cmyk) make_image photo16 "$WIDTH" "$HEIGHT" "$PHOTO16" ;;
        cmyk16_rgb) make_image cmyk16 "$WIDTH" "$HEIGHT" "$CMYK16" ;;
        *) die "unknown case '$c'" ;;
        esac
    done
}

# ---------------------------------------------------------------- cases and tools

# Sets INPUT, SPROF, DPROF, LABEL, CASE_TOOLS, DEPTH (of the input, which
# every tool keeps) and LAB_INPUT for a case. The slow exact modes of the
# peers only run on the main case, to keep the whole run short.
define_case() {
    local mp_main mp_tall
    mp_main=$(awk -v w="$WIDTH" -v h="$HEIGHT" 'BEGIN { printf "%.0f", w * h / 1e6 }')
    mp_tall=$(awk -v w="$WIDTH" -v h="$TALL_HEIGHT" 'BEGIN { printf "%.0f", w * h / 1e6 }')
    DEPTH=8 LAB_INPUT=0
    case "$1" in
    photo_cmyk)
        INPUT=$PHOTO SPROF=$SRC_RGB DPROF=$DST_CMYK
        LABEL="$mp_main MP photo RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc tificc_c0 cctiff cctiff_p magick vips" ;;
    gradient_cmyk)
        INPUT=$GRADIENT SPROF=$SRC_RGB DPROF=$DST_CMYK
        LABEL="$mp_main MP gradient RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    noise_cmyk)
        # Random bytes: the worst case for any shortcut by repeated colours.
        INPUT=$NOISE SPROF=$SRC_RGB DPROF=$DST_CMYK
        LABEL="$mp_main MP noise RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff vips" ;;
    photo_rgb)
        INPUT=$PHOTO SPROF=$SRC_RGB DPROF=$DST_RGB
        LABEL="$mp_main MP photo RGB->RGB"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    lab_cmyk)
        # ImageMagick misreads CIELab TIFFs (its results are tens of levels
        # away from all the others), so it has no place in this case. vips
        # takes them for Lab already (see tool_command).
        INPUT=$LAB SPROF=$SRC_LAB DPROF=$DST_CMYK LAB_INPUT=1
        LABEL="$mp_main MP CIELab->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff vips" ;;
    tall_cmyk)
        INPUT=$TALL SPROF=$SRC_RGB DPROF=$DST_CMYK
        LABEL="$mp_tall MP tall photo RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    plasma_cmyk)
        INPUT=$PLASMA SPROF=$SRC_RGB DPROF=$DST_CMYK
        LABEL="$mp_main MP plasma RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    upscaled_cmyk)
        INPUT=$UPSCALED SPROF=$SRC_RGB DPROF=$DST_CMYK
        LABEL="$mp_main MP upscaled RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    # 16 bits a sample, nearly every pixel a colour of its own: no tool can
    # live off repeated colours.
    photo16_cmyk)
        INPUT=$PHOTO16 SPROF=$SRC_RGB DPROF=$DST_CMYK DEPTH=16
        LABEL="$mp_main MP 16-bit RGB->CMYK"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    cmyk16_rgb)
        INPUT=$CMYK16 SPROF=$DST_CMYK DPROF=$DST_RGB DEPTH=16
        LABEL="$mp_main MP 16-bit CMYK->RGB"
        CASE_TOOLS="chromaport chromaport_base tificc cctiff magick vips" ;;
    *) die "unknown case '$1'" ;;
    esac
}

tool_name() {
    case "$1" in
    chromaport) echo "chromaport-cli" ;;
    chromaport_base) echo "chromaport base" ;;
    tificc) echo "tificc" ;;
    tificc_c0) echo "tificc -c0" ;;
    cctiff) echo "cctiff" ;;
    cctiff_p) echo "cctiff -p" ;;
    magick) echo "ImageMagick" ;;
    vips) echo "vips" ;;
    esac
}

# Fills CMD with the tool's command line; all use relative colorimetric
# intent, no black point compensation and uncompressed output of the input's
# depth (DEPTH): chromaport-cli and cctiff keep it by themselves, the others
# are told on 16-bit input.
tool_command() {
    local tool=$1 in=$2 sp=$3 dp=$4 out=$5 wide=()
    case "$tool" in
    chromaport) CMD=("$CLI" -q -i relative -s "$sp" -d "$dp" "$in" "$out") ;;
    chromaport_base)
        tool_command chromaport "$in" "$sp" "$dp" "$out"
        CMD[0]=$BASE_CLI ;;
    tificc | tificc_c0)
        [ "$tool" = tificc_c0 ] && wide=(-c0)
        [ "$DEPTH" = 16 ] && wide+=(-w16)
        CMD=(tificc "${wide[@]}" -t1 "-i$sp" "-o$dp" "$in" "$out") ;;
    cctiff) CMD=(cctiff -N -D -ir "$sp" -ir "$dp" "$in" "$out") ;;
    cctiff_p) CMD=(cctiff -p -N -D -ir "$sp" -ir "$dp" "$in" "$out") ;;
    magick)
        [ "$DEPTH" = 16 ] && wide=(-depth 16)
        CMD=(env "MAGICK_CONFIGURE_PATH=$WORK_DIR/magick" "$MAGICK" "$in" -intent Relative
            -profile "$sp" -profile "$dp" +profile '*' "${wide[@]}" -compress none "$out") ;;
    # libvips's icc_transform: Little CMS underneath, its own threads. vips
    # loads a CIELab TIFF as Lab already, which icc_transform then reads
    # otherwise through the Lab identity profile (14 % of chromaport-cli's
    # bytes, up to 255 levels away); icc_export takes that Lab straight to
    # the destination, the same conversion.
    vips)
        [ "$DEPTH" = 16 ] && wide=(--depth 16)
        if [ "$LAB_INPUT" = 1 ]; then
            CMD=(vips icc_export "$in" "$out" --output-profile "$dp" --intent relative "${wide[@]}")
        else
            CMD=(vips icc_transform "$in" "$out" "$dp" --input-profile "$sp" --intent relative
                "${wide[@]}")
        fi ;;
    *) die "unknown tool '$tool'" ;;
    esac
}

# ---------------------------------------------------------------- measuring

# One run: appends "case tool wall_s cpu_s rss_kb md5" to RESULTS, or
# "case tool FAILED" when the tool fails.
measure() {
    local cs=$1 tool=$2 round=$3 out=$OUT_DIR/$1-$2.tif
    local timef=$WORK_DIR/time.txt logf=$WORK_DIR/tool.log t0 t1 user sys rss wall sum
    rm -f "$out"
    tool_command "$tool" "$INPUT" "$SPROF" "$DPROF" "$out"
    t0=$(date +%s%N)
    if ! /usr/bin/time -f "%U %S %M" -o "$timef" "${CMD[@]}" >"$logf" 2>&1 || [ ! -s "$out" ]; then
        say "  $(tool_name "$tool") failed on $cs: ${CMD[*]}"
        tail -n 5 "$logf" | sed 's/^/    /' >&2
        echo "$cs $tool FAILED" >>"$RESULTS"
        return
    fi
    t1=$(date +%s%N)
    read -r user sys rss < <(tail -n 1 "$timef")
    wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    sum=-
    case "$tool" in
    chromaport | chromaport_base) sum=$(md5sum "$out" | cut -d' ' -f1) ;;
    esac
    echo "$cs $tool $wall $(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }') $rss $sum" \
        >>"$RESULTS"
    say "  $cs  $(tool_name "$tool")  run $round/$RUNS: ${wall} s"
}

# Runs every tool of the case in turn, round after round, so that a change in
# the machine's load falls on all tools alike. Every other round goes through
# the tools backwards, so that no tool always follows the same one (and the
# writing back of its output).
run_case() {
    local cs=$1 round tool order
    define_case "$cs"
    for ((round = 1; round <= RUNS; round++)); do
        order=$CASE_TOOLS
        if ((round % 2 == 0)); then
            order=$(echo "$CASE_TOOLS" | tr ' ' '\n' | tac | tr '\n' ' ')
        fi
        for tool in $order; do
            if selected "$tool"; then
                measure "$cs" "$tool" "$round"
            fi
        done
    done
    compare_outputs "$cs"
}

selected() { [[ " $TOOLS " == *" $1 "* ]]; }

# How much of each peer's output is sample for sample chromaport-cli's:
# "case tool equal% max-difference bits" in DIFFS. An output of another size,
# layout or depth than chromaport-cli's has nothing to compare ("n/a").
compare_outputs() {
    local cs=$1 tool ref=$OUT_DIR/$1-chromaport.tif
    for tool in $CASE_TOOLS; do
        [ "$tool" = chromaport ] && continue
        selected "$tool" || continue
        if [ -s "$ref" ] && [ -s "$OUT_DIR/$cs-$tool.tif" ]; then
            local d rc=0
            if cmp -s "$ref" "$OUT_DIR/$cs-$tool.tif"; then
                d="identical 0 $DEPTH"
            else
                d=$("$TIFFTOOL" diff "$ref" "$OUT_DIR/$cs-$tool.tif" 2>"$WORK_DIR/diff.log") ||
                    rc=$?
            fi
            case "$rc" in
            0) echo "$cs $tool $d" >>"$DIFFS" ;;
            3)
                say "  $(tool_name "$tool")'s output on $cs: $(cat "$WORK_DIR/diff.log")"
                echo "$cs $tool n/a - -" >>"$DIFFS" ;;
            *) echo "$cs $tool unreadable - -" >>"$DIFFS" ;;
            esac
        fi
        [ "${KEEP_OUTPUTS:-0}" = 1 ] || rm -f "$OUT_DIR/$cs-$tool.tif"
    done
    [ "${KEEP_OUTPUTS:-0}" = 1 ] || rm -f "$ref"
}

# ---------------------------------------------------------------- report

# Median of column $3 of the successful runs of case $1, tool $2.
median() {
    awk -v c="$1" -v t="$2" -v k="$3" '$1 == c && $2 == t && $3 != "FAILED" { print $k }' \
        "$RESULTS" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'
}

# How many different outputs the given tools wrote on the case in all their runs.
outputs_of() {
    local cs=$1
    shift
    awk -v c="$cs" -v t=" $* " '$1 == c && index(t, " " $2 " ") && $3 != "FAILED" { print $6 }' \
        "$RESULTS" | sort -u | wc -l
}

# "yes" when every run of chromaport-cli on the case wrote the same bytes.
run_to_run() {
    local n
    n=$(outputs_of "$1" chromaport)
    case "$n" in
    0) echo "-" ;;
    1) echo "yes" ;;
    *) echo "NO ($n different outputs)" ;;
    esac
}

# Compares the case's chromaport-cli checksum with the kept reference, or
# keeps it as the reference when there is none yet.
against_reference() {
    local cs=$1 sum old
    sum=$(awk -v c="$cs" '$1 == c && $2 == "chromaport" && $3 != "FAILED" { print $6 }' "$RESULTS" | head -n 1)
    [ -n "$sum" ] || { echo "-"; return; }
    old=$(awk -v c="$cs" '$1 == c { print $2 }' "$REFERENCE" 2>/dev/null || true)
    if [ -z "$old" ]; then
        echo "$cs $sum" >>"$REFERENCE"
        echo "new reference"
    elif [ "$old" = "$sum" ]; then
        echo "same as reference"
    else
        echo "DIFFERS from reference $old"
    fi
}

# The first text matching the pattern in what a command prints.
first_match() {
    local pattern=$1
    shift
    { "$@" 2>&1 || true; } | grep -o -m1 "$pattern" || true
}

# Where a build folder's program comes from, as far as its checkout says now.
checkout_of() {
    local src commit
    src=$(source_of "$1")
    commit=$(git -C "$src" describe --always --dirty 2>/dev/null || echo "commit unknown")
    echo "$1, configured from $src (now at $commit)"
}

print_machine() {
    local cpu mem
    cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
    mem=$(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
    echo "Chromaport benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "Machine: $(nproc) cores, ${cpu:-unknown CPU}, $mem; load average at start $LOAD_START, at end $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "Images: ${WIDTH}x${HEIGHT} (tall ${WIDTH}x${TALL_HEIGHT}), uncompressed, 8-bit (16-bit in the 16-bit cases); $RUNS runs each, medians"
    echo "Tools: $("$CLI" --version | head -n 1) ($BUILD_TYPE; $("$CLI" --version | sed -n 2p)),"
    echo "       tificc $(first_match 'v[0-9.]* \[LittleCMS [0-9.]*\]' tificc),"
    echo "       cctiff $(first_match 'V[0-9.]*' cctiff), $(first_match 'ImageMagick [^ ]*' "$MAGICK" -version),"
    echo "       $(first_match 'vips-[0-9.]*' vips --version)"
    echo "Builds: chromaport-cli $(checkout_of "$BUILD_DIR")"
    if selected chromaport_base; then
        echo "        chromaport base $(checkout_of "$BASE_BUILD_DIR"): $("$BASE_CLI" --version | head -n 1) ($BASE_TYPE)"
    fi
    echo "Profiles: RGB $SRC_RGB, CMYK $DST_CMYK,"
    echo "          RGB->RGB to $DST_RGB, Lab $SRC_LAB; relative colorimetric"
    echo
}

print_table() {
    local cs tool wall cpu rss cw cc cr same
    printf '%-26s %-15s %8s %8s %8s %7s %7s %7s %10s %5s\n' \
        "Case" "Tool" "wall s" "CPU s" "peak MB" "wall x" "CPU x" "mem x" "same %" "max d"
    for cs in $CASES; do
        define_case "$cs"
        cw=$(median "$cs" chromaport 3)
        cc=$(median "$cs" chromaport 4)
        cr=$(median "$cs" chromaport 5)
        for tool in $CASE_TOOLS; do
            selected "$tool" || continue
            wall=$(median "$cs" "$tool" 3)
            cpu=$(median "$cs" "$tool" 4)
            rss=$(median "$cs" "$tool" 5)
            if [ "$tool" = chromaport ]; then
                same="ref -"
            else
                # A difference counted in levels of another depth than the
                # case's would be misread: none is shown then.
                same=$(awk -v c="$cs" -v t="$tool" -v b="$DEPTH" \
                    '$1 == c && $2 == t { print $3, ($5 == "-" || $5 == b) ? $4 : "n/a" }' "$DIFFS")
            fi
            # shellcheck disable=SC2086
            printf '%-26s %-15s %8s %8s %8s %7s %7s %7s %10s %5s\n' "$LABEL" "$(tool_name "$tool")" \
                "$wall" "$cpu" "$(awk -v k="$rss" 'BEGIN { if (k == "-") print "-"; else printf "%.0f", k / 1024 }')" \
                "$(ratio "$wall" "$cw")" "$(ratio "$cpu" "$cc")" "$(ratio "$rss" "$cr")" ${same:-"? ?"}
            LABEL=""
        done
    done
    echo
    echo "x columns: the tool's figure divided by chromaport-cli's on the same case (below 1: faster or smaller)."
    echo "same %: output samples equal to chromaport-cli's (identical: the whole file is; n/a: the output differs"
    echo "in size, samples or depth); max d: largest difference, in 8-bit levels (of 255), in 16-bit levels"
    echo "(of 65535) in the 16-bit cases."
}

# Each case against the targets: wall time at most tificc's and vips's, CPU
# at most 1.5 times tificc's, peak memory at most tificc's.
print_targets() {
    local cs w c m wt wv ct mt
    echo
    echo "chromaport-cli against the targets (wall <= tificc's and vips's, CPU <= 1.5 x tificc's,"
    echo "memory <= tificc's):"
    printf '  %-15s %9s %9s %9s %9s  %s\n' case "wall/tif" "wall/vips" "CPU/tif" "mem/tif" missed
    for cs in $CASES; do
        w=$(median "$cs" chromaport 3) c=$(median "$cs" chromaport 4) m=$(median "$cs" chromaport 5)
        [ "$w" = - ] && continue
        wt=$(ratio "$w" "$(median "$cs" tificc 3)")
        wv=$(ratio "$w" "$(median "$cs" vips 3)")
        ct=$(ratio "$c" "$(median "$cs" tificc 4)")
        mt=$(ratio "$m" "$(median "$cs" tificc 5)")
        printf '  %-15s %9s %9s %9s %9s  %s\n' "$cs" "$wt" "$wv" "$ct" "$mt" "$(
            awk -v w="$wt" -v v="$wv" -v c="$ct" -v m="$mt" 'BEGIN {
                if (w != "-" && w > 1.0) s = s " wall(tificc)"
                if (v != "-" && v > 1.0) s = s " wall(vips)"
                if (c != "-" && c > 1.5) s = s " CPU"
                if (m != "-" && m > 1.0) s = s " memory"
                print s == "" ? "none" : substr(s, 2) }')"
    done
    echo "  peak memory, tall / photo   $(ratio "$(median tall_cmyk chromaport 5)" "$(median photo_cmyk chromaport 5)")   (memory must not grow with height)"
    echo "chromaport-cli output, byte-identical between runs; against the kept reference ($REFERENCE):"
    local cs
    for cs in $CASES; do
        selected chromaport || break
        printf '  %-15s %-5s %s\n' "$cs" "$(run_to_run "$cs")" "$(against_reference "$cs")"
    done
    if ! selected chromaport || ! selected chromaport_base; then
        return
    fi
    echo "chromaport base ($BASE_BUILD_DIR) wrote chromaport-cli's bytes, in every run of both:"
    for cs in $CASES; do
        printf '  %-15s %s\n' "$cs" "$(same_as_base "$cs")"
    done
}

# "yes" when chromaport-cli and the base wrote one and the same output in all
# their runs on the case.
same_as_base() {
    local base n
    base=$(outputs_of "$1" chromaport_base)
    n=$(outputs_of "$1" chromaport chromaport_base)
    if [ "$base" = 0 ] || [ "$(outputs_of "$1" chromaport)" = 0 ]; then
        echo "-"
    elif [ "$n" = 1 ]; then
        echo "yes"
    else
        echo "NO ($n different outputs)"
    fi
}

# ---------------------------------------------------------------- main

main() {
    mkdir -p "$WORK_DIR" "$OUT_DIR"
    [ "${RESET_REFERENCE:-0}" = 1 ] && rm -f "$REFERENCE"
    install_peers
    build_tools
    find_magick
    write_magick_policy
    check_profiles
    generate_images
    LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
    : >"$RESULTS"
    DIFFS=$WORK_DIR/diffs.txt
    : >"$DIFFS"
    local cs
    for cs in $CASES; do
        run_case "$cs"
    done
    local report
    report=$WORK_DIR/results-$(date -u +%Y%m%d-%H%M%S).txt
    { print_machine; print_table; print_targets; } | tee "$report"
    echo "(saved in $report; every run in $RESULTS)"
}

main "$@"
