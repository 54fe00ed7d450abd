#include "CraftedFiles.h"

#include <tiffio.h>

#include <algorithm>

namespace rel {
namespace {

void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void SetLe32(std::vector<unsigned char>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = static_cast<unsigned char>(value >> (8 * i));
}

void SetBe32(std::vector<unsigned char>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = static_cast<unsigned char>(value >> (8 * (3 - i)));
}

uint32_t GetBe32(const std::vector<unsigned char>& in, size_t at) {
    return uint32_t(in[at]) << 24 | uint32_t(in[at + 1]) << 16 | uint32_t(in[at + 2]) << 8 |
           uint32_t(in[at + 3]);
}

// The entry's values as stored in the file, and how many values the entry counts.
std::vector<unsigned char> ValueBytes(const TiffEntry& e, uint32_t& count) {
    std::vector<unsigned char> bytes;
    const int width = e.type == TIFF_SHORT ? 2 : 4;
    for (uint32_t v : e.values)
        PutLe(bytes, v, width);
    count = uint32_t(e.type == TIFF_RATIONAL ? e.values.size() / 2 : e.values.size());
    return bytes;
}

constexpr size_t kProfileHeader = 128;
constexpr size_t kTagEntry = 12;

} // namespace

std::vector<unsigned char> BuildTiff(std::vector<TiffEntry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    std::vector<unsigned char> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
    std::vector<unsigned char> ifd;
    PutLe(ifd, uint32_t(entries.size()), 2);
    for (const TiffEntry& e : entries) {
        uint32_t count = 0;
        std::vector<unsigned char> bytes = ValueBytes(e, count);
        PutLe(ifd, e.tag, 2);
        PutLe(ifd, e.type, 2);
        PutLe(ifd, count, 4);
        if (bytes.size() <= 4) {
            bytes.resize(4, 0);
            ifd.insert(ifd.end(), bytes.begin(), bytes.end());
            continue;
        }
        PutLe(ifd, uint32_t(out.size()), 4);
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (out.size() % 2)
            out.push_back(0);
    }
    PutLe(ifd, 0, 4); // no further directory
    SetLe32(out, 4, uint32_t(out.size()));
    out.insert(out.end(), ifd.begin(), ifd.end());
    return out;
}

std::vector<unsigned char> CraftRgbTiff(const StripGeometry& g,
                                        const std::vector<unsigned char>& pixels) {
    const uint32_t strips = std::max(g.strips, 1u);
    const uint32_t stripBytes = g.stripBytes ? g.stripBytes : uint32_t(pixels.size() / strips);
    // The directory's size does not depend on the offsets' values, so one trial build
    // tells where the pixels will start.
    uint32_t start = 0;
    std::vector<unsigned char> out;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<uint32_t> offsets, counts;
        for (uint32_t s = 0; s < strips; ++s) {
            offsets.push_back(start + s * stripBytes);
            counts.push_back(stripBytes);
        }
        std::vector<TiffEntry> entries = {
            {TIFFTAG_IMAGEWIDTH, TIFF_LONG, {g.width}},
            {TIFFTAG_IMAGELENGTH, TIFF_LONG, {g.height}},
            {TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, {8, 8, 8}},
            {TIFFTAG_COMPRESSION, TIFF_SHORT, {COMPRESSION_NONE}},
            {TIFFTAG_PHOTOMETRIC, TIFF_SHORT, {PHOTOMETRIC_RGB}},
            {TIFFTAG_STRIPOFFSETS, TIFF_LONG, offsets},
            {TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, {3}},
            {TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, counts},
            {TIFFTAG_PLANARCONFIG, TIFF_SHORT, {PLANARCONFIG_CONTIG}},
        };
        if (g.rowsPerStrip >= 0)
            entries.push_back({TIFFTAG_ROWSPERSTRIP, TIFF_LONG, {uint32_t(g.rowsPerStrip)}});
        out = BuildTiff(entries);
        start = uint32_t(out.size());
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

bool WritePaletteTiff(const std::string& path, uint32_t width, uint32_t height) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return false;
    std::vector<uint16_t> red(256), green(256), blue(256);
    for (uint32_t i = 0; i < 256; ++i) {
        red[i] = uint16_t(i * 257);
        green[i] = uint16_t((255 - i) * 257);
        blue[i] = uint16_t((i * 7 & 255) * 257);
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    bool ok = true;
    std::vector<unsigned char> row(width);
    for (uint32_t y = 0; y < height && ok; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            row[x] = static_cast<unsigned char>(x * 31 + y * 17);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

std::vector<unsigned char> ProfileWithTagTablePastEnd(std::vector<unsigned char> profile,
                                                      uint32_t count, uint32_t keepEntries) {
    if (profile.size() < kProfileHeader + 4)
        return {};
    SetBe32(profile, kProfileHeader, count);
    profile.resize(std::min(profile.size(), kProfileHeader + 4 + keepEntries * kTagEntry));
    return profile;
}

std::vector<unsigned char> ProfileWithTagDataPastEnd(std::vector<unsigned char> profile) {
    if (profile.size() < kProfileHeader + 4)
        return {};
    const uint32_t count = GetBe32(profile, kProfileHeader);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = kProfileHeader + 4 + i * kTagEntry;
        if (entry + kTagEntry > profile.size())
            break;
        SetBe32(profile, entry + 4, uint32_t(profile.size()) + 4096 * (i + 1));
    }
    return profile;
}

std::vector<unsigned char> ProfileWithColorSpace(std::vector<unsigned char> profile,
                                                 uint32_t space) {
    if (profile.size() < kProfileHeader)
        return {};
    SetBe32(profile, 16, space);
    return profile;
}

uint64_t PixelDataEnd(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return 0;
    uint64_t end = 0;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s)
        end = std::max(end, TIFFGetStrileOffset(tif, s) + TIFFGetStrileByteCount(tif, s));
    TIFFClose(tif);
    return end;
}

} // namespace rel
