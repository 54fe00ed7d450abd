// Damaged and unusual files that libtiff and Little CMS will not write on their own: TIFF
// directories built byte by byte, palette images, and ICC profiles with broken headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rel {

// One directory entry of a hand-built TIFF: SHORT (3), LONG (4) or RATIONAL (5, values
// given as numerator, denominator pairs).
struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    std::vector<uint32_t> values;
};

// A classic little-endian TIFF: the 8-byte header, the values too long for their entry,
// then the one directory with `entries` in tag order. Nothing follows the directory.
std::vector<unsigned char> BuildTiff(std::vector<TiffEntry> entries);

// An uncompressed 8-bit RGB strip image whose tags say what the caller wants, whatever
// the pixel bytes hold. The pixels follow the directory; strip i starts stripBytes * i
// bytes into them and claims stripBytes bytes, so pixels shorter than strips * stripBytes
// make strips that run past the end of the file. rowsPerStrip < 0 leaves the tag out.
struct StripGeometry {
    uint32_t width = 8, height = 4;
    int64_t rowsPerStrip = -1;
    uint32_t strips = 1;
    uint32_t stripBytes = 0; // 0: the pixels shared out evenly
};
std::vector<unsigned char> CraftRgbTiff(const StripGeometry& geometry,
                                        const std::vector<unsigned char>& pixels);

// 8-bit palette image (photometric 3) with a full colour map.
bool WritePaletteTiff(const std::string& path, uint32_t width, uint32_t height);

// Bytes of a profile file with the header's tag count set to `count`, the file cut right
// after the first `keepEntries` tag entries, so the tag table runs past the end.
std::vector<unsigned char> ProfileWithTagTablePastEnd(std::vector<unsigned char> profile,
                                                      uint32_t count, uint32_t keepEntries);
// Every tag's data offset moved past the end of the file.
std::vector<unsigned char> ProfileWithTagDataPastEnd(std::vector<unsigned char> profile);
// The data colour space of the header replaced by `space` (four characters).
std::vector<unsigned char> ProfileWithColorSpace(std::vector<unsigned char> profile,
                                                 uint32_t space);

// Where the pixel data of a TIFF ends: the last byte of its last strip, plus one. 0 when
// the file does not open.
uint64_t PixelDataEnd(const std::string& path);

} // namespace rel
