#include "BenchImages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace bench {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Small, fast and the same everywhere, unlike the standard engines'
// distributions; seeded per row so every row stands on its own.
class RowNoise {
public:
    // Another stream gives other numbers for the same row, so that a pattern
    // can add noise without moving the numbers another one is made of.
    explicit RowNoise(uint32_t row, uint64_t stream = 0)
        : m_state(0x9E3779B97F4A7C15ull * (row + 1) ^ stream) {}

    uint8_t NextByte() { return static_cast<uint8_t>(Uniform() * 256.0); }

    // Triangular noise in [-amplitude, amplitude], like sensor grain.
    double Next(double amplitude) {
        const double a = Uniform(), b = Uniform();
        return (a + b - 1.0) * amplitude;
    }

private:
    double Uniform() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return double((m_state * 0x2545F4914F6CDD1Dull) >> 11) / double(1ull << 53);
    }

    uint64_t m_state;
};

uint8_t ClampByte(double v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5);
}

int8_t ClampSigned(double v) {
    return static_cast<int8_t>(std::lround(std::clamp(v, -128.0, 127.0)));
}

struct SoftDisc {
    double cx, cy, radius; // in units of the image height
    double rgb[3];
};

// A few out-of-focus subjects over a sky-to-ground backdrop.
const SoftDisc kDiscs[] = {
    {0.30, 0.55, 0.22, {200, 120, 80}}, {0.72, 0.40, 0.18, {60, 140, 70}},
    {1.10, 0.70, 0.25, {40, 60, 150}},  {0.15, 0.20, 0.10, {240, 230, 200}},
    {1.35, 0.25, 0.12, {180, 40, 60}},  {0.95, 0.85, 0.15, {90, 70, 50}},
};

// Sign-like rectangles of one flat colour, in units of the image size.
struct FlatPatch {
    double x0, y0, x1, y1;
    uint8_t rgb[3];
};
const FlatPatch kPatches[] = {
    {0.05, 0.70, 0.20, 0.92, {250, 250, 250}},
    {0.80, 0.08, 0.95, 0.18, {20, 20, 24}},
};

// Detail at three scales, from broad shading to fine texture: smooth value
// noise with lattice cells of the given size in pixels, amplitudes relative
// to the backdrop.
struct DetailOctave {
    double cell, amplitude;
};
constexpr int kOctaves = 3;
const DetailOctave kDetail[kOctaves] = {{310.0, 0.12}, {57.0, 0.07}, {9.0, 0.05}};

// A lattice value in [-1, 1].
double LatticeValue(uint32_t ix, uint32_t iy, uint32_t octave) {
    uint32_t h = ix * 0x8DA6B343u ^ iy * 0xD8163841u ^ (octave + 1) * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h / 2147483647.5 - 1.0;
}

double SmoothStep(double t) {
    return t * t * (3.0 - 2.0 * t);
}

class PhotoRows {
public:
    PhotoRows(uint32_t width, uint32_t height) : m_width(width), m_height(height) {
        for (int k = 0; k < kOctaves; ++k)
            m_lattice[k].resize(size_t(width / kDetail[k].cell) + 2);
    }

    void Fill(uint32_t y, uint8_t* row) {
        RowNoise noise(y);
        const double v = double(y) / m_height;
        PrepareLatticeRows(y);
        for (uint32_t x = 0; x < m_width; ++x) {
            uint8_t* px = row + size_t(x) * 3;
            if (FlatAt(x, y, px))
                continue;
            double rgb[3];
            Backdrop(x, v, rgb);
            // Detail changes brightness, as most picture detail does; the
            // grain is independent per channel.
            const double detail = 1.0 + Detail(x);
            for (int c = 0; c < 3; ++c)
                px[c] = ClampByte(rgb[c] * detail + noise.Next(10.0));
        }
    }

private:
    bool FlatAt(uint32_t x, uint32_t y, uint8_t* px) const {
        const double u = double(x) / m_width, v = double(y) / m_height;
        for (const FlatPatch& p : kPatches) {
            if (u >= p.x0 && u < p.x1 && v >= p.y0 && v < p.y1) {
                std::copy(p.rgb, p.rgb + 3, px);
                return true;
            }
        }
        return false;
    }

    void Backdrop(uint32_t x, double v, double* rgb) const {
        const double u = double(x) / m_height; // discs stay round
        const double sky[3] = {110 + 120 * v, 160 + 60 * v, 235 - 60 * v};
        const double ground[3] = {120 - 60 * v, 100 - 40 * v, 60 - 30 * v};
        const double horizon = 0.5 + 0.5 * std::tanh((v - 0.6) * 12.0);
        for (int c = 0; c < 3; ++c)
            rgb[c] = sky[c] + (ground[c] - sky[c]) * horizon;
        for (const SoftDisc& d : kDiscs) {
            const double dist = std::hypot(u - d.cx, v - d.cy) / d.radius;
            if (dist >= 1.0)
                continue;
            const double w = 0.5 + 0.5 * std::cos(dist * kPi);
            for (int c = 0; c < 3; ++c)
                rgb[c] += (d.rgb[c] - rgb[c]) * w;
        }
    }

    // The lattice values of this row, already blended between the two
    // lattice rows around it.
    void PrepareLatticeRows(uint32_t y) {
        for (int k = 0; k < kOctaves; ++k) {
            const double gy = y / kDetail[k].cell;
            const uint32_t iy = static_cast<uint32_t>(gy);
            const double ty = SmoothStep(gy - iy);
            for (size_t i = 0; i < m_lattice[k].size(); ++i) {
                const double a = LatticeValue(uint32_t(i), iy, k);
                const double b = LatticeValue(uint32_t(i), iy + 1, k);
                m_lattice[k][i] = a + (b - a) * ty;
            }
        }
    }

    double Detail(uint32_t x) const {
        double sum = 0;
        for (int k = 0; k < kOctaves; ++k) {
            const double gx = x / kDetail[k].cell;
            const size_t ix = static_cast<size_t>(gx);
            const double a = m_lattice[k][ix], b = m_lattice[k][ix + 1];
            sum += (a + (b - a) * SmoothStep(gx - ix)) * kDetail[k].amplitude;
        }
        return sum;
    }

    uint32_t m_width, m_height;
    std::vector<double> m_lattice[kOctaves];
};

void FillGradientRow(uint32_t width, uint32_t height, uint32_t y, uint8_t* row) {
    const double v = double(y) / std::max<uint32_t>(height - 1, 1);
    for (uint32_t x = 0; x < width; ++x) {
        const double u = double(x) / std::max<uint32_t>(width - 1, 1);
        row[x * 3 + 0] = ClampByte(255.0 * u);
        row[x * 3 + 1] = ClampByte(255.0 * v);
        row[x * 3 + 2] = ClampByte(255.0 * (1.0 - 0.5 * (u + v)));
    }
}

void FillNoiseRow(uint32_t width, uint32_t y, uint8_t* row) {
    RowNoise noise(y);
    for (size_t i = 0; i < size_t(width) * 3; ++i)
        row[i] = noise.NextByte();
}

void FillLabRow(uint32_t width, uint32_t height, uint32_t y, uint8_t* row) {
    RowNoise noise(y);
    const double v = double(y) / height;
    for (uint32_t x = 0; x < width; ++x) {
        const double u = double(x) / width;
        const double lightness = 95.0 - 85.0 * v + 5.0 * std::sin(u * 9.0);
        const double a = 80.0 * std::sin(2 * kPi * (1.5 * u + 0.5 * v));
        const double b = 80.0 * std::cos(2 * kPi * (0.7 * u - 1.2 * v));
        row[x * 3 + 0] = ClampByte(lightness * 2.55 + noise.Next(3.0));
        row[x * 3 + 1] = static_cast<uint8_t>(ClampSigned(a + noise.Next(3.0)));
        row[x * 3 + 2] = static_cast<uint8_t>(ClampSigned(b + noise.Next(3.0)));
    }
}

// A plain separation: part of the grey goes to black, so that all four inks
// vary as they do in a separated photo, within a total of 255 % of ink.
void SeparateRow(const uint8_t* rgb, uint32_t width, uint8_t* cmyk) {
    for (uint32_t x = 0; x < width; ++x, rgb += 3, cmyk += 4) {
        const int c = 255 - rgb[0], m = 255 - rgb[1], y = 255 - rgb[2];
        const int k = std::min({c, m, y}) * 3 / 5;
        cmyk[0] = uint8_t(c - k);
        cmyk[1] = uint8_t(m - k);
        cmyk[2] = uint8_t(y - k);
        cmyk[3] = uint8_t(k);
    }
}

// The 8-bit content as high bytes under random low bytes, from a stream of
// their own: a 16-bit pattern's high bytes stay its 8-bit pattern's.
void WidenRow(const uint8_t* high, size_t samples, uint32_t y, uint16_t* wide) {
    RowNoise low(y, 0x5851F42D4C957F2Dull);
    for (size_t i = 0; i < samples; ++i)
        wide[i] = uint16_t(high[i] << 8 | low.NextByte());
}

void FillRow(Pattern pattern, PhotoRows* photo, uint32_t width, uint32_t height, uint32_t y,
             uint8_t* row) {
    switch (pattern) {
    case Pattern::Photo:
    case Pattern::Photo16:
    case Pattern::Cmyk16:
        photo->Fill(y, row);
        return;
    case Pattern::Gradient:
        FillGradientRow(width, height, y, row);
        return;
    case Pattern::Lab:
        FillLabRow(width, height, y, row);
        return;
    case Pattern::Noise:
        FillNoiseRow(width, y, row);
        return;
    }
}

struct Format {
    uint16_t bits, samples, photometric;
};

Format FormatOf(Pattern pattern) {
    switch (pattern) {
    case Pattern::Lab:
        return {8, 3, PHOTOMETRIC_CIELAB};
    case Pattern::Photo16:
        return {16, 3, PHOTOMETRIC_RGB};
    case Pattern::Cmyk16:
        return {16, 4, PHOTOMETRIC_SEPARATED};
    default:
        return {8, 3, PHOTOMETRIC_RGB};
    }
}

TiffPtr CreateTiff(const std::string& path, const Format& format, uint32_t width, uint32_t height) {
    TiffPtr tif(TIFFOpen(path.c_str(), "w"));
    if (!tif)
        return nullptr;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, format.bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, format.samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, format.photometric);
    if (format.photometric == PHOTOMETRIC_SEPARATED)
        TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, uint32_t(-1)));
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    return tif;
}

} // namespace

bool WritePatternTiff(const std::string& path, Pattern pattern, uint32_t width, uint32_t height) {
    const Format format = FormatOf(pattern);
    TiffPtr tif = CreateTiff(path, format, width, height);
    if (!tif) {
        fprintf(stderr, "cannot create %s\n", path.c_str());
        return false;
    }
    std::unique_ptr<PhotoRows> photo;
    if (pattern == Pattern::Photo || pattern == Pattern::Photo16 || pattern == Pattern::Cmyk16)
        photo = std::make_unique<PhotoRows>(width, height);
    const size_t samples = size_t(width) * format.samples;
    std::vector<uint8_t> row(size_t(width) * 3), inks(pattern == Pattern::Cmyk16 ? samples : 0);
    std::vector<uint16_t> wide(format.bits == 16 ? samples : 0);
    for (uint32_t y = 0; y < height; ++y) {
        FillRow(pattern, photo.get(), width, height, y, row.data());
        void* data = row.data();
        if (format.bits == 16) {
            const uint8_t* high = row.data();
            if (pattern == Pattern::Cmyk16) {
                SeparateRow(row.data(), width, inks.data());
                high = inks.data();
            }
            WidenRow(high, samples, y, wide.data());
            data = wide.data();
        }
        if (TIFFWriteScanline(tif.get(), data, y, 0) < 0) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
    }
    return TIFFFlush(tif.get()) == 1;
}

namespace {

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t samples = 0, bits = 0;
    bool operator==(const Layout& o) const {
        return width == o.width && height == o.height && samples == o.samples && bits == o.bits;
    }
};

// An image open for reading row by row, its samples widened to 16 bits'
// room whatever their depth.
class SampleRows {
public:
    // False with a reason unless the file is an interleaved 8-bit or 16-bit
    // strip image whose rows hold exactly its samples.
    bool Open(const std::string& path, std::string& error) {
        m_tif.reset(TIFFOpen(path.c_str(), "r"));
        if (!m_tif) {
            error = "cannot read " + path;
            return false;
        }
        TIFF* t = m_tif.get();
        uint16_t planar = PLANARCONFIG_CONTIG;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &m_layout.width);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &m_layout.height);
        TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &m_layout.samples);
        TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &m_layout.bits);
        TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
        if ((m_layout.bits != 8 && m_layout.bits != 16) || planar != PLANARCONFIG_CONTIG ||
            TIFFIsTiled(t) || m_layout.samples == 0 || m_layout.samples > 16) {
            error = path + " is not an 8-bit or 16-bit interleaved strip image";
            return false;
        }
        m_rowSamples = uint64_t(m_layout.width) * m_layout.samples;
        if (TIFFScanlineSize64(t) != m_rowSamples * (m_layout.bits / 8)) {
            error = path + ": rows of an unexpected size";
            return false;
        }
        m_buffer.resize(m_rowSamples);
        return true;
    }

    const Layout& layout() const { return m_layout; }
    uint64_t RowSamples() const { return m_rowSamples; }

    bool Read(uint32_t y) { return TIFFReadScanline(m_tif.get(), m_buffer.data(), y, 0) >= 0; }

    // A sample of the row last read (libtiff gives 16-bit samples in the
    // machine's order).
    unsigned Sample(size_t i) const {
        if (m_layout.bits == 8)
            return reinterpret_cast<const uint8_t*>(m_buffer.data())[i];
        return m_buffer[i];
    }

private:
    TiffPtr m_tif;
    Layout m_layout;
    uint64_t m_rowSamples = 0;
    std::vector<uint16_t> m_buffer;
};

// 24-bit colours are marked in a bitmap of 2 MB; wider ones are gathered and
// sorted, 8 bytes a pixel, so the number of pixels is capped.
constexpr uint64_t kMaxSortedPixels = uint64_t(1) << 28;

} // namespace

long CountDistinctColours(const std::string& path) {
    SampleRows rows;
    std::string error;
    if (!rows.Open(path, error))
        return -1;
    const Layout& l = rows.layout();
    const uint64_t pixels = uint64_t(l.width) * l.height;
    const bool bitmap = l.bits == 8 && l.samples == 3;
    if (!bitmap && (l.samples * l.bits > 64 || pixels > kMaxSortedPixels))
        return -1;
    std::vector<uint8_t> seen(bitmap ? 1u << 21 : 0); // one bit per 24-bit value
    std::vector<uint64_t> keys;
    keys.reserve(bitmap ? 0 : pixels);
    long distinct = 0;
    for (uint32_t y = 0; y < l.height; ++y) {
        if (!rows.Read(y))
            return -1;
        for (size_t i = 0; i < rows.RowSamples(); i += l.samples) {
            uint64_t key = 0;
            for (size_t s = 0; s < l.samples; ++s)
                key = key << l.bits | rows.Sample(i + s);
            if (!bitmap) {
                keys.push_back(key);
                continue;
            }
            const uint8_t bit = uint8_t(1u << (key & 7));
            if (!(seen[key >> 3] & bit)) {
                seen[key >> 3] |= bit;
                ++distinct;
            }
        }
    }
    if (bitmap)
        return distinct;
    std::sort(keys.begin(), keys.end());
    return long(std::unique(keys.begin(), keys.end()) - keys.begin());
}

DiffResult DiffTiffs(const std::string& a, const std::string& b, TiffDiff& diff,
                     std::string& error) {
    SampleRows ra, rb;
    if (!ra.Open(a, error) || !rb.Open(b, error))
        return DiffResult::Unreadable;
    if (!(ra.layout() == rb.layout())) {
        error = "the two images differ in size, samples per pixel or bit depth";
        return DiffResult::OtherLayout;
    }
    diff = TiffDiff{};
    diff.bits = ra.layout().bits;
    for (uint32_t y = 0; y < ra.layout().height; ++y) {
        if (!ra.Read(y) || !rb.Read(y)) {
            error = "cannot read row " + std::to_string(y);
            return DiffResult::Unreadable;
        }
        for (size_t i = 0; i < ra.RowSamples(); ++i) {
            const int d = std::abs(int(ra.Sample(i)) - int(rb.Sample(i)));
            diff.equal += d == 0;
            diff.maxDifference = std::max(diff.maxDifference, d);
        }
        diff.samples += ra.RowSamples();
    }
    return DiffResult::Compared;
}

} // namespace bench
