#pragma once
// The test images of the benchmarks: deterministic 8-bit uncompressed TIFFs
// whose content resembles what photographers convert, so that timings do not
// depend on a lucky or unlucky picture.

#include <cstdint>
#include <string>

namespace bench {

enum class Pattern {
    Photo,    // RGB: soft shapes, gradients, flat patches and sensor-like noise
    Gradient, // RGB: smooth ramps without noise, few distinct colours
    Lab,      // CIELab: lightness ramp, hue swirls and light noise
    Noise,    // RGB: every byte random, nearly every pixel a colour of its own
};

// Writes the pattern at the given size; false (with a message on stderr)
// when the file cannot be written. The same size always gives the same bytes.
bool WritePatternTiff(const std::string& path, Pattern pattern, uint32_t width, uint32_t height);

// Distinct pixel values of a 3-sample 8-bit TIFF, or -1 when it cannot be read.
long CountDistinctColours(const std::string& path);

// How far two 8-bit images of the same layout are apart, sample byte by
// sample byte (raw bytes: meant for RGB and ink images).
struct TiffDiff {
    uint64_t samples = 0;
    uint64_t equal = 0;
    int maxDifference = 0;
};

// False with a reason when either file cannot be read or the two differ in
// size, samples per pixel or bit depth.
bool DiffTiffs(const std::string& a, const std::string& b, TiffDiff& diff, std::string& error);

} // namespace bench
