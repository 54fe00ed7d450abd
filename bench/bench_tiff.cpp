// chromaport_bench_tiff: the TIFF chores of bench/compare.sh.
//   chromaport_bench_tiff make PATTERN WIDTH HEIGHT OUT.tif
//       PATTERN: photo gradient lab noise (8-bit), photo16 cmyk16 (16-bit)
//   chromaport_bench_tiff distinct FILE.tif     number of distinct colours
//   chromaport_bench_tiff diff A.tif B.tif      "<equal %> <max difference> <bits>": the
//       share of equal samples, the largest difference in levels of that many
//       bits; exit status 3 when the two differ in size, samples or depth

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchImages.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: chromaport_bench_tiff make "
                    "photo|gradient|lab|noise|photo16|cmyk16 WIDTH HEIGHT OUT.tif\n"
                    "       chromaport_bench_tiff distinct FILE.tif\n"
                    "       chromaport_bench_tiff diff A.tif B.tif\n");
    return 2;
}

bool ParsePattern(const std::string& name, bench::Pattern& pattern) {
    if (name == "photo")
        pattern = bench::Pattern::Photo;
    else if (name == "gradient")
        pattern = bench::Pattern::Gradient;
    else if (name == "lab")
        pattern = bench::Pattern::Lab;
    else if (name == "noise")
        pattern = bench::Pattern::Noise;
    else if (name == "photo16")
        pattern = bench::Pattern::Photo16;
    else if (name == "cmyk16")
        pattern = bench::Pattern::Cmyk16;
    else
        return false;
    return true;
}

bool ParseSize(const char* text, uint32_t& value) {
    char* end = nullptr;
    const unsigned long v = strtoul(text, &end, 10);
    if (!end || *end || v == 0 || v > 100000)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

int Make(int argc, char** argv) {
    bench::Pattern pattern;
    uint32_t width = 0, height = 0;
    if (argc != 6 || !ParsePattern(argv[2], pattern) || !ParseSize(argv[3], width) ||
        !ParseSize(argv[4], height))
        return Usage();
    return bench::WritePatternTiff(argv[5], pattern, width, height) ? 0 : 1;
}

int Distinct(const char* path) {
    const long n = bench::CountDistinctColours(path);
    if (n < 0) {
        fprintf(stderr, "cannot count the colours of %s\n", path);
        return 1;
    }
    printf("%ld\n", n);
    return 0;
}

int Diff(const char* a, const char* b) {
    bench::TiffDiff diff;
    std::string error;
    const bench::DiffResult result = bench::DiffTiffs(a, b, diff, error);
    if (result != bench::DiffResult::Compared) {
        fprintf(stderr, "%s\n", error.c_str());
        return result == bench::DiffResult::OtherLayout ? 3 : 1;
    }
    if (diff.equal == diff.samples) {
        printf("100 0 %d\n", diff.bits);
        return 0;
    }
    // Truncated, so that a single differing sample never shows as 100.000.
    const double equal = std::floor(1e5 * double(diff.equal) / double(diff.samples)) / 1e3;
    printf("%.3f %d %d\n", equal, diff.maxDifference, diff.bits);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make")
        return Make(argc, argv);
    if (command == "distinct" && argc == 3)
        return Distinct(argv[2]);
    if (command == "diff" && argc == 4)
        return Diff(argv[2], argv[3]);
    return Usage();
}
