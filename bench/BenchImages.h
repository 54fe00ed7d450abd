#pragma once
// The test images of the benchmarks: deterministic 8-bit and 16-bit
// uncompressed TIFFs whose content resembles what photographers convert, so
// that timings do not depend on a lucky or unlucky picture.

#include <cstdint>
#include <string>

namespace bench {

enum class Pattern {
    Photo,    // RGB: soft shapes, gradients, flat patches and sensor-like noise
    Gradient, // RGB: smooth ramps without noise, few distinct colours
    Lab,      // CIELab: lightness ramp, hue swirls and light noise
    Noise,    // RGB: every byte random, nearly every pixel a colour of its own
    // 16-bit: Photo's bytes as the high bytes and a random low byte, as the
    // least significant bits of a raw file are; nearly every pixel a colour
    // of its own, so no converter can live off repeated colours.
    Photo16, // RGB
    Cmyk16,  // CMYK (separated, no alpha): Photo separated with a simple black
};

// Writes the pattern at the given size; false (with a message on stderr)
// when the file cannot be written. The same size always gives the same bytes.
bool WritePatternTiff(const std::string& path, Pattern pattern, uint32_t width, uint32_t height);

// Distinct pixel values of an interleaved 8-bit or 16-bit TIFF of at most 64
// bits a pixel, or -1 when it cannot be read.
long CountDistinctColours(const std::string& path);

// How far two images of the same layout are apart, sample by sample (raw
// values: meant for RGB and ink images), in levels of their own depth.
struct TiffDiff {
    uint64_t samples = 0;
    uint64_t equal = 0;
    int maxDifference = 0;
    int bits = 0; // 8 or 16: the unit of maxDifference
};

enum class DiffResult { Compared, Unreadable, OtherLayout };

// Unreadable or OtherLayout (with a reason) when either file cannot be read
// or the two differ in size, samples per pixel or bit depth.
DiffResult DiffTiffs(const std::string& a, const std::string& b, TiffDiff& diff,
                     std::string& error);

} // namespace bench
