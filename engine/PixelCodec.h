#pragma once
// How one pixel's bytes become the transform's values and back again, for
// the formats PixelFormat describes. Sources reach the codec as their colour
// samples alone, white-is-zero grey already complemented by the reader.

#include <cmath>
#include <cstdint>

#include "IccDefs.h"
#include "IccPcs.h"
#include "PixelFormat.h"

// 1/255 as the exact double the conversion multiplies by.
constexpr icFloatNumber kInv255 = 0.00392156862745098;

// The two ends of one image's conversion.
struct PixelLayout {
    PixelFormat source;
    PixelFormat dest;
};

// ICCLab bytes are already the ICC float encoding's levels (a* + 128); CIELab
// bytes give the same values for the same colour.
inline void DecodePixel(const PixelFormat& format, const unsigned char* src, icFloatNumber* v) {
    if (format.lab != LabEncoding::None) {
        v[0] = src[0] * kInv255;
        if (format.lab == LabEncoding::Cie) {
            v[1] = (static_cast<int8_t>(src[1]) + 128.0) * kInv255;
            v[2] = (static_cast<int8_t>(src[2]) + 128.0) * kInv255;
        } else {
            v[1] = src[1] * kInv255;
            v[2] = src[2] * kInv255;
        }
        if (format.xyzAsLab) {
            icLabFromPcs(v);
            icLabtoXYZ(v, nullptr, nullptr);
            icXyzToPcs(v);
        }
        return;
    }
    for (int i = 0; i < format.colourChannels; ++i)
        v[i] = src[i] * kInv255;
}

// 0 below 0 (and for NaN), 1 above 1.
inline icFloatNumber ClipUnit(icFloatNumber t) {
    if (!(t > 0.0))
        return 0.0;
    return t > 1.0 ? 1.0 : t;
}

inline unsigned char EncodeUnsigned(icFloatNumber t) {
    return static_cast<unsigned char>(static_cast<int>(ClipUnit(t) * 255.0 + 0.5));
}

// a* and b* round to the nearest value, halves away from zero, so that
// every signed byte decodes and encodes back to itself.
inline unsigned char EncodeSigned(icFloatNumber t) {
    return static_cast<unsigned char>(static_cast<int8_t>(std::round(ClipUnit(t) * 255.0 - 128.0)));
}

// Encodes the transform's output; v may be changed on the way. Destinations
// store L*a*b* as CIELab.
inline void EncodePixel(const PixelFormat& format, icFloatNumber* v, unsigned char* dst) {
    if (format.lab != LabEncoding::None) {
        if (format.xyzAsLab) {
            icXyzFromPcs(v);
            icXYZtoLab(v, nullptr, nullptr);
            icLabToPcs(v);
        }
        dst[0] = EncodeUnsigned(v[0]);
        dst[1] = EncodeSigned(v[1]);
        dst[2] = EncodeSigned(v[2]);
        return;
    }
    for (int i = 0; i < format.colourChannels; ++i)
        dst[i] = EncodeUnsigned(v[i]);
}

// Whether each channel's value depends on its own byte alone (L*a*b* bytes
// for an XYZ profile mix the channels on the way in).
inline bool DecodesChannelByChannel(const PixelFormat& format) {
    return !(format.lab != LabEncoding::None && format.xyzAsLab);
}

// One output channel's byte from its value, when the format's bytes are made
// channel by channel; null when they are not (XYZ values stored as CIELab
// bytes mix the channels on the way out).
using ChannelEncoder = unsigned char (*)(int channel, icFloatNumber value);
inline ChannelEncoder ChannelEncoderFor(const PixelFormat& format) {
    if (format.lab != LabEncoding::None && format.xyzAsLab)
        return nullptr;
    if (format.lab != LabEncoding::None)
        return [](int channel, icFloatNumber v) {
            return channel == 0 ? EncodeUnsigned(v) : EncodeSigned(v);
        };
    return [](int, icFloatNumber v) { return EncodeUnsigned(v); };
}
