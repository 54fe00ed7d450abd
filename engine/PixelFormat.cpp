#include "PixelFormat.h"

#include <tiffio.h>

namespace {

// Colour channels of a space a TIFF file can hold, and the kind of file that
// holds them; 0 for any other space.
int ChannelsOf(icColorSpaceSignature space, TiffColorModel& model) {
    switch (space) {
    case icSigGrayData:
        model = TCM_ADDITIVE;
        return 1;
    case icSigRgbData:
        model = TCM_ADDITIVE;
        return 3;
    case icSigLabData:
    case icSigXYZData:
        model = TCM_LAB;
        return 3;
    case icSigCmyData:
    case icSig3colorData:
        model = TCM_SUBTRACTIVE;
        return 3;
    case icSigCmykData:
    case icSig4colorData:
        model = TCM_SUBTRACTIVE;
        return 4;
    case icSig5colorData:
    case icSig6colorData:
    case icSig7colorData:
    case icSig8colorData:
        model = TCM_SUBTRACTIVE;
        // The first character of 'nCLR' is the ink count.
        return int((space >> 24) & 0xFF) - '0';
    default:
        return 0;
    }
}

// Whether colour samples of this kind agree with the space: grey is grey
// either way round, anything else must be of the space's own kind.
bool Agrees(icColorSpaceSignature space, int samples, TiffColorModel model) {
    TiffColorModel wanted = TCM_ADDITIVE;
    if (samples != ChannelsOf(space, wanted))
        return false;
    return space == icSigGrayData ? model != TCM_LAB : model == wanted;
}

uint16_t PhotometricFor(TiffColorModel model, int channels) {
    switch (model) {
    case TCM_ADDITIVE:
        return channels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    case TCM_LAB:
        return PHOTOMETRIC_CIELAB;
    case TCM_SUBTRACTIVE:
        break;
    }
    return PHOTOMETRIC_SEPARATED;
}

} // namespace

bool IsReadPhotometric(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_SEPARATED:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        return true;
    default:
        return false;
    }
}

TiffColorModel ColorModelOf(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
        return TCM_ADDITIVE;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        return TCM_LAB;
    default:
        return TCM_SUBTRACTIVE;
    }
}

namespace {

// The colour samples of a pixel: all but the extra samples the file names,
// or else those its photometric interpretation names, the rest being extra
// samples (six samples of a CMYK separation are CMYK and two extras; of a
// separation of six inks, six colours).
int ColourSamplesFor(const TiffPixelTags& tags, icColorSpaceSignature space) {
    const TiffColorModel model = ColorModelOf(tags.photometric);
    const int spp = tags.samplesPerPixel;
    for (int colours : {spp - int(tags.extraKinds.size()), int(tags.namedColours)})
        if (colours > 0 && colours <= spp && Agrees(space, colours, model))
            return colours;
    return 0;
}

} // namespace

bool SourceFormatFor(const TiffPixelTags& tags, icColorSpaceSignature space, PixelFormat& format) {
    const int colour = ColourSamplesFor(tags, space);
    if (!IsReadPhotometric(tags.photometric) || colour == 0)
        return false;
    const TiffColorModel model = ColorModelOf(tags.photometric);
    format = PixelFormat();
    format.colourChannels = colour;
    format.bitsPerSample = tags.bitsPerSample;
    format.extraChannels = tags.samplesPerPixel - colour;
    for (int i = 0; i < format.extraChannels && format.premultipliedBy < 0; ++i)
        if (size_t(i) < tags.extraKinds.size() && tags.extraKinds[i] == 1) // associated alpha
            format.premultipliedBy = i;
    format.minIsWhite = space == icSigGrayData && model == TCM_SUBTRACTIVE;
    if (model == TCM_LAB)
        format.lab = tags.photometric == PHOTOMETRIC_ICCLAB ? LabEncoding::Icc : LabEncoding::Cie;
    format.xyzAsLab = space == icSigXYZData;
    format.photometric = tags.photometric;
    return true;
}

bool DestinationFormatFor(icColorSpaceSignature space, bool xyzAsLab, const PixelFormat& extras,
                          int bits, PixelFormat& format) {
    TiffColorModel model = TCM_ADDITIVE;
    const int channels = ChannelsOf(space, model);
    if (channels == 0 || !IsConvertibleDepth(bits))
        return false;
    format = PixelFormat();
    format.colourChannels = channels;
    format.bitsPerSample = bits;
    format.extraChannels = extras.extraChannels;
    format.premultipliedBy = extras.premultipliedBy;
    format.lab = model == TCM_LAB ? LabEncoding::Cie : LabEncoding::None;
    format.xyzAsLab = xyzAsLab;
    format.photometric = PhotometricFor(model, channels);
    return true;
}
