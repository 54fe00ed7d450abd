#pragma once
// How one pixel's bytes become the transform's values and back again.

#include <cmath>
#include <cstdint>

#include "ColorModel.h"
#include "IccDefs.h"
#include "IccPcs.h"

// 1/255 as the exact double the conversion multiplies by.
constexpr icFloatNumber kInv255 = 0.00392156862745098;

struct PixelLayout {
    TiffColorModel sourceModel = TCM_ADDITIVE;
    int sourceSamples = 0;
    bool sourceXyz = false; // CIELab bytes feeding an XYZ source profile
    TiffColorModel destModel = TCM_ADDITIVE;
    int destSamples = 0;
    bool destXyz = false; // XYZ values stored as CIELab bytes
};

inline void DecodePixel(const PixelLayout& layout, const unsigned char* src, icFloatNumber* v) {
    if (layout.sourceModel == TCM_LAB) {
        v[0] = src[0] * kInv255;
        v[1] = (static_cast<int8_t>(src[1]) + 128.0) * kInv255;
        v[2] = (static_cast<int8_t>(src[2]) + 128.0) * kInv255;
        if (layout.sourceXyz) {
            icLabFromPcs(v);
            icLabtoXYZ(v, nullptr, nullptr);
            icXyzToPcs(v);
        }
        return;
    }
    for (int i = 0; i < layout.sourceSamples; ++i)
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

// Encodes the transform's output; v may be changed on the way.
inline void EncodePixel(const PixelLayout& layout, icFloatNumber* v, unsigned char* dst) {
    if (layout.destModel == TCM_LAB) {
        if (layout.destXyz) {
            icXyzFromPcs(v);
            icXYZtoLab(v, nullptr, nullptr);
            icLabToPcs(v);
        }
        dst[0] = EncodeUnsigned(v[0]);
        dst[1] = EncodeSigned(v[1]);
        dst[2] = EncodeSigned(v[2]);
        return;
    }
    for (int i = 0; i < layout.destSamples; ++i)
        dst[i] = EncodeUnsigned(v[i]);
}
