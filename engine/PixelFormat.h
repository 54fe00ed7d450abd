#pragma once
// How one pixel is stored in a file and what the transform sees of it, made
// once for a source (from its tags and the source profile's colour space) and
// once for a destination (from the destination profile's space). Reading,
// checking, encoding and writing all take their layout from here.

#include <cstdint>
#include <vector>

#include "ColorModel.h"
#include "IccDefs.h"

// How L*a*b* is stored, as TIFF defines it.
enum class LabEncoding : uint8_t {
    None,
    Cie, // CIELab (photometric 8): L* unsigned, a* and b* signed
    Icc, // ICCLab (photometric 9): L* unsigned, a* and b* unsigned, 128 for 0
};

struct PixelFormat {
    // Channels the transform takes or gives.
    int colourChannels = 0;
    int bitsPerSample = 8;
    // Stored samples after the colour channels (alpha, spot colours,
    // masks): carried unchanged but for their depth.
    int extraChannels = 0;
    // The extra channel whose alpha the colour samples are multiplied by
    // (associated alpha); -1 when they are not.
    int premultipliedBy = -1;
    // Grey stored white-is-zero: read as its complement, as grey profiles
    // count from black.
    bool minIsWhite = false;
    // L*a*b* pixels, and how they are stored.
    LabEncoding lab = LabEncoding::None;
    // XYZ values carried as L*a*b* (an XYZ profile's pixels).
    bool xyzAsLab = false;
    // The file's photometric interpretation.
    uint16_t photometric = 0;

    int StoredSamples() const { return colourChannels + extraChannels; }
    bool HasExtras() const { return extraChannels > 0; }
    int SampleBytes() const { return bitsPerSample / 8; }
    // Bytes of one pixel's colour samples, as rows are handed to the codec.
    int PixelBytes() const { return colourChannels * SampleBytes(); }
};

inline bool operator==(const PixelFormat& a, const PixelFormat& b) {
    return a.colourChannels == b.colourChannels && a.bitsPerSample == b.bitsPerSample &&
           a.premultipliedBy == b.premultipliedBy && a.extraChannels == b.extraChannels &&
           a.minIsWhite == b.minIsWhite && a.lab == b.lab && a.xyzAsLab == b.xyzAsLab &&
           a.photometric == b.photometric;
}

// What a source file's tags say of its pixels.
struct TiffPixelTags {
    uint16_t samplesPerPixel = 0;
    uint16_t bitsPerSample = 0;
    uint16_t sampleFormat = 1;
    // As the pixels are handed out: YCbCr decoded by the JPEG codec says RGB.
    uint16_t photometric = 0;
    // The kinds of the extra samples the file's ExtraSamples tag names.
    std::vector<uint16_t> extraKinds;
    // The colour samples the photometric interpretation names (1 for grey,
    // 3 for RGB and L*a*b*, the inks of a separation), 0 when it names none:
    // samples beyond them are extra samples of no kind, as libtiff has it.
    uint16_t namedColours = 0;
};

// The photometric interpretations whose pixels are read as stored: grey
// either way round, RGB, inks, CIELab and ICCLab. Others (palette, transparency
// masks, YCbCr, colour filter arrays...) never agree with a profile.
bool IsReadPhotometric(uint16_t photometric);
TiffColorModel ColorModelOf(uint16_t photometric);

// The source's format when its pixels agree with the source profile's colour
// space; false when they do not (a data-type mismatch). Unsigned samples of
// a depth the codec takes are checked before, by whoever opened the file.
bool SourceFormatFor(const TiffPixelTags& tags, icColorSpaceSignature space, PixelFormat& format);

// The format a destination of this colour space is written in; false for a
// space that cannot be stored. xyzAsLab: XYZ values are stored as CIELab
// bytes (a run does so from its first XYZ destination on).
// extras: the source's extra channels, carried to the destination.
bool DestinationFormatFor(icColorSpaceSignature space, bool xyzAsLab, const PixelFormat& extras,
                          int bits, PixelFormat& format);

// Sample depths the codec reads and writes: 8 and 16 bits, unsigned.
inline bool IsConvertibleDepth(int bits) {
    return bits == 8 || bits == 16;
}
