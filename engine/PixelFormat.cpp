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

bool SourceFormatFor(const TiffPixelTags& tags, icColorSpaceSignature space, PixelFormat& format) {
    // RGB and CMYK may carry one unassociated alpha sample, which passes
    // through unchanged; any other extra sample is a mismatch.
    const bool alpha =
        tags.unassociatedAlpha && ((space == icSigRgbData && tags.samplesPerPixel == 4) ||
                                   (space == icSigCmykData && tags.samplesPerPixel == 5));
    const int colour = tags.samplesPerPixel - (alpha ? 1 : 0);
    const TiffColorModel model = ColorModelOf(tags.photometric);
    if (!IsReadPhotometric(tags.photometric) || !Agrees(space, colour, model))
        return false;
    format = PixelFormat();
    format.colourChannels = colour;
    format.bitsPerSample = tags.bitsPerSample;
    format.alpha = alpha ? AlphaKind::Unassociated : AlphaKind::None;
    format.extraChannels = alpha ? 1 : 0;
    format.minIsWhite = space == icSigGrayData && model == TCM_SUBTRACTIVE;
    if (model == TCM_LAB)
        format.lab = tags.photometric == PHOTOMETRIC_ICCLAB ? LabEncoding::Icc : LabEncoding::Cie;
    format.xyzAsLab = space == icSigXYZData;
    format.photometric = tags.photometric;
    return true;
}

bool DestinationFormatFor(icColorSpaceSignature space, bool xyzAsLab, bool alpha, int bits,
                          PixelFormat& format) {
    TiffColorModel model = TCM_ADDITIVE;
    const int channels = ChannelsOf(space, model);
    if (channels == 0 || !IsConvertibleDepth(bits))
        return false;
    format = PixelFormat();
    format.colourChannels = channels;
    format.bitsPerSample = bits;
    format.alpha = alpha ? AlphaKind::Unassociated : AlphaKind::None;
    format.extraChannels = alpha ? 1 : 0;
    format.lab = model == TCM_LAB ? LabEncoding::Cie : LabEncoding::None;
    format.xyzAsLab = xyzAsLab;
    format.photometric = PhotometricFor(model, channels);
    return true;
}
