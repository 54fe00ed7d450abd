#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "Support.h"

namespace ts {
namespace {

uint32_t Mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    return x ^ (x >> 16);
}

void Put(unsigned char* row, uint64_t index, uint16_t bits, uint32_t v) {
    if (bits == 16) {
        const uint16_t w = uint16_t(v);
        std::memcpy(row + 2 * index, &w, 2);
    } else if (bits == 8) {
        row[index] = uint8_t(v);
    } else {
        const uint64_t bit = index * bits;
        row[bit / 8] |= uint8_t((v >> (8 - bits)) << (8 - bits - bit % 8));
    }
}

uint16_t Planes(const Tiff& t) {
    return t.planar == 2 ? t.samples : 1;
}

void SetTags(TIFF* tif, const Tiff& t) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, t.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, t.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, t.bits);
    if (t.samplesTag)
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, t.samples);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, t.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, t.photometric);
    if (t.planar)
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, t.planar);
    if (t.orientation)
        TIFFSetField(tif, TIFFTAG_ORIENTATION, t.orientation);
    if (t.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    } else if (t.rowsPerStrip) {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, t.rowsPerStrip);
    }
    if (t.xRes)
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, double(t.xRes));
    if (t.yRes)
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, double(t.yRes));
    if (t.resUnit)
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, t.resUnit);
    if (t.extraSamples) {
        std::vector<uint16_t> kinds(t.extraSamples, t.associatedAlpha ? EXTRASAMPLE_ASSOCALPHA
                                                                      : EXTRASAMPLE_UNASSALPHA);
        if (t.extraKinds.size() == t.extraSamples)
            kinds = t.extraKinds;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, t.extraSamples, kinds.data());
    }
    // RGB rows handed to the JPEG codec, which stores them as subsampled YCbCr.
    if (t.photometric == PHOTOMETRIC_YCBCR && t.compression == COMPRESSION_JPEG)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    if (t.sampleFormat)
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, t.sampleFormat);
    if (t.inkSet)
        TIFFSetField(tif, TIFFTAG_INKSET, t.inkSet);
    if (!t.icc.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(t.icc.size()), t.icc.data());
    if (!t.xmp.empty())
        TIFFSetField(tif, TIFFTAG_XMLPACKET, uint32_t(t.xmp.size()), t.xmp.data());
    if (t.photometric == PHOTOMETRIC_PALETTE && t.bits <= 8) { // a ramp from white to black
        std::vector<uint16_t> map(size_t(1) << t.bits);
        for (size_t i = 0; i < map.size(); ++i)
            map[i] = uint16_t(65535 - i * 65535 / (map.size() - 1));
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
    }
    for (const auto& [tag, value] : t.text)
        TIFFSetField(tif, tag, value.c_str());
    if (t.newSubfileType)
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, t.newSubfileType);
}

bool WritePixels(TIFF* tif, const Tiff& t, const Bytes& pixels) {
    const uint64_t rowBytes = RowBytes(t);
    if (pixels.size() != rowBytes * t.height * Planes(t))
        return false;
    for (uint16_t p = 0; p < Planes(t); ++p)
        for (uint32_t y0 = 0; y0 < t.height; y0 += t.tiled ? 16 : 1) {
            const unsigned char* rows = pixels.data() + (uint64_t(p) * t.height + y0) * rowBytes;
            if (!t.tiled) {
                if (TIFFWriteScanline(tif, const_cast<unsigned char*>(rows), y0, p) < 0)
                    return false;
                continue;
            }
            const uint64_t tileRow = uint64_t(TIFFTileRowSize(tif));
            for (uint64_t x0 = 0; x0 < rowBytes; x0 += tileRow) {
                Bytes tile(size_t(TIFFTileSize(tif)), 0);
                for (uint32_t y = 0; y < 16 && y0 + y < t.height; ++y)
                    std::memcpy(&tile[y * tileRow], rows + y * rowBytes + x0,
                                std::min(tileRow, rowBytes - x0));
                const uint32_t x =
                    uint32_t(x0 * 8 / (uint64_t(t.bits) * (t.planar == 2 ? 1 : t.samples)));
                if (TIFFWriteTile(tif, tile.data(), x, y0, 0, p) < 0)
                    return false;
            }
        }
    return TIFFWriteDirectory(tif) == 1;
}

// Every row of every plane, from strips or tiles (cut at the image's edges).
bool ReadPixels(TIFF* tif, Tiff& t) {
    const uint64_t rowBytes = RowBytes(t);
    t.pixels.assign(rowBytes * t.height * Planes(t), 0);
    uint32_t tileWidth = 16, tileLength = 16;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    const uint64_t tileRow = t.tiled ? uint64_t(TIFFTileRowSize64(tif)) : 0;
    Bytes tile(t.tiled ? size_t(TIFFTileSize64(tif)) : 0);
    for (uint16_t p = 0; p < Planes(t); ++p)
        for (uint32_t y = 0; y < t.height; y += t.tiled ? tileLength : 1) {
            unsigned char* rows = &t.pixels[(uint64_t(p) * t.height + y) * rowBytes];
            if (!t.tiled) {
                if (TIFFReadScanline(tif, rows, y, p) != 1)
                    return false;
                continue;
            }
            for (uint64_t x0 = 0; x0 < rowBytes; x0 += tileRow) {
                const uint32_t x =
                    uint32_t(x0 * 8 / (uint64_t(t.bits) * (Planes(t) > 1 ? 1 : t.samples)));
                if (TIFFReadTile(tif, tile.data(), x, y, 0, p) < 0)
                    return false;
                for (uint32_t r = 0; r < tileLength && y + r < t.height; ++r)
                    std::memcpy(rows + r * rowBytes + x0, &tile[r * tileRow],
                                std::min(tileRow, rowBytes - x0));
            }
        }
    return true;
}

} // namespace

uint64_t RowBytes(const Tiff& t) {
    return (uint64_t(t.planar == 2 ? 1 : t.samples) * t.bits * t.width + 7) / 8;
}

Bytes Interleaved(const Tiff& t, const Bytes& pixels) {
    if (t.planar != 2 || t.samples < 2)
        return pixels;
    const size_t bytes = t.bits / 8, plane = size_t(RowBytes(t)) * t.height;
    Bytes out(pixels.size());
    for (size_t i = 0; i < plane / bytes; ++i)
        for (size_t c = 0; c < t.samples; ++c)
            std::memcpy(&out[(i * t.samples + c) * bytes], &pixels[c * plane + i * bytes], bytes);
    return out;
}

Bytes Pattern(const Tiff& t, uint32_t seed) {
    const uint64_t rowBytes = RowBytes(t);
    Bytes pixels(rowBytes * t.height * Planes(t), 0);
    for (uint32_t y = 0; y < t.height; ++y)
        for (uint32_t x = 0; x < t.width; ++x)
            for (uint32_t c = 0; c < t.samples; ++c) {
                const uint32_t noise = Mix(x * 73856093U ^ y * 19349663U ^ c * 83492791U ^ seed);
                const uint32_t v8 = (x * 255 / std::max(t.width - 1, 1u) +
                                     y * 127 / std::max(t.height - 1, 1u) + c * 85 + (noise & 31)) &
                                    255;
                const uint32_t v = t.bits == 16 ? v8 * 257 ^ (noise >> 24) : v8;
                const bool separate = t.planar == 2;
                Put(pixels.data() + (separate ? uint64_t(c) * t.height + y : y) * rowBytes,
                    separate ? x : uint64_t(x) * t.samples + c, t.bits, v);
            }
    return pixels;
}

bool WriteTiff(const std::string& path, const Tiff& t) {
    const std::string mode = std::string("w") + (t.bigTiff ? "8" : "") + (t.bigEndian ? "b" : "l");
    TIFF* tif = TIFFOpen(path.c_str(), mode.c_str());
    if (!tif)
        return false;
    bool ok = true;
    for (uint16_t page = 0; ok && page < t.pages; ++page) {
        Tiff p = t;
        if (t.pageEdit)
            t.pageEdit(p, page);
        SetTags(tif, p);
        if (t.pageNumbers)
            TIFFSetField(tif, TIFFTAG_PAGENUMBER, page, t.pages);
        ok = WritePixels(tif, p, page == 0 && !p.pixels.empty() ? p.pixels : Pattern(p, page));
    }
    TIFFClose(tif);
    return ok;
}

Tiff ReadTiff(const std::string& path, bool* ok, uint16_t page) {
    Tiff t;
    t.planar = t.orientation = t.compression = t.photometric = t.samples = t.bits = 0;
    t.rowsPerStrip = 0;
    bool good = false;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif && page > 0 && !TIFFSetDirectory(tif, page)) {
        TIFFClose(tif);
        tif = nullptr;
    }
    if (tif) {
        uint32_t n32 = 0;
        uint16_t n16 = 0, *kinds = nullptr;
        float f = 0;
        void* data = nullptr;
        char* s = nullptr;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bits);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
        TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &t.planar);
        TIFFGetField(tif, TIFFTAG_ORIENTATION, &t.orientation);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
        TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &t.rowsPerStrip);
        TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &t.resUnit);
        TIFFGetField(tif, TIFFTAG_INKSET, &t.inkSet);
        TIFFGetField(tif, TIFFTAG_NUMBEROFINKS, &t.inks);
        if (TIFFGetField(tif, TIFFTAG_INKNAMES, &s)) // libtiff holds one name a sample
            for (uint16_t i = 0; i < t.samples; ++i, s += strlen(s) + 1)
                t.inkNames.append(s, strlen(s) + 1);
        TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &t.sampleFormat);
        t.xRes = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &f) ? f : 0;
        t.yRes = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &f) ? f : 0;
        if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &n16, &kinds))
            t.extraSamples = n16;
        if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &n32, &data))
            t.icc.assign(static_cast<unsigned char*>(data),
                         static_cast<unsigned char*>(data) + n32);
        uint16_t number = 0, count = 0;
        t.pageNumbers = TIFFGetField(tif, TIFFTAG_PAGENUMBER, &number, &count) && number == page;
        TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &t.newSubfileType);
        for (uint32_t tag : {TIFFTAG_ARTIST, TIFFTAG_COPYRIGHT, TIFFTAG_IMAGEDESCRIPTION,
                             TIFFTAG_DATETIME, TIFFTAG_SOFTWARE, TIFFTAG_PAGENAME})
            if (TIFFGetField(tif, tag, &s))
                t.text[tag] = s;
        t.tiled = TIFFIsTiled(tif);
        t.bigTiff = TIFFIsBigTIFF(tif);
        if (kinds)
            t.extraKinds.assign(kinds, kinds + t.extraSamples);
        if (t.photometric == PHOTOMETRIC_YCBCR && t.compression == COMPRESSION_JPEG)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB); // the codec's RGB
        good = RowBytes(t) > 0 && ReadPixels(tif, t);
        t.pages = TIFFNumberOfDirectories(tif);
        TIFFClose(tif);
    }
    if (ok)
        *ok = good;
    return t;
}

} // namespace ts
