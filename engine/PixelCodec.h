#pragma once
// How one pixel's bytes become the transform's values and back again, for
// the formats PixelFormat describes. Sources reach the codec as their colour
// samples alone, white-is-zero grey already complemented by the reader.

#include <cmath>
#include <cstdint>
#include <cstring>

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

// 16-bit samples are in the machine's byte order, as the reader hands them
// out and the writer takes them.
inline uint16_t LoadSample16(const unsigned char* p) {
    uint16_t v;
    memcpy(&v, p, sizeof v);
    return v;
}
inline void StoreSample16(uint16_t v, unsigned char* p) {
    memcpy(p, &v, sizeof v);
}
// A sample of 1 or 2 bytes.
inline uint16_t LoadSample(const unsigned char* p, int bytes) {
    return bytes == 1 ? *p : LoadSample16(p);
}
inline void StoreSample(uint16_t v, unsigned char* p, int bytes) {
    if (bytes == 1)
        *p = static_cast<unsigned char>(v);
    else
        StoreSample16(v, p);
}

// A 16-bit sample's value, v / 65535 computed as (v / 257) / 255 with the
// 8-bit path's 1/255: a sample of 257 b then decodes to exactly what the
// byte b does, so a file's colours do not depend on the depth it was saved
// at.
inline icFloatNumber DecodeUnsigned16(uint16_t v) {
    return (v / 257.0) * kInv255;
}

// L*a*b* values in the ICC float encoding (a* + 128 over 255). ICCLab bytes
// are already its levels; CIELab's signed a* and b* give the same values for
// the same colour. At 16 bits a* and b* count 1/256ths, so 256 a decodes to
// exactly what the byte a does.
inline void DecodeLab(const PixelFormat& format, const unsigned char* src, icFloatNumber* v) {
    const bool cie = format.lab == LabEncoding::Cie;
    if (format.bitsPerSample == 16) {
        v[0] = DecodeUnsigned16(LoadSample16(src));
        for (int i = 1; i < 3; ++i) {
            const uint16_t s = LoadSample16(src + 2 * i);
            v[i] = (cie ? static_cast<int16_t>(s) / 256.0 + 128.0 : s / 256.0) * kInv255;
        }
    } else {
        v[0] = src[0] * kInv255;
        for (int i = 1; i < 3; ++i)
            v[i] = (cie ? static_cast<int8_t>(src[i]) + 128.0 : src[i]) * kInv255;
    }
    if (format.xyzAsLab) {
        icLabFromPcs(v);
        icLabtoXYZ(v, nullptr, nullptr);
        icXyzToPcs(v);
    }
}

inline void DecodePixel(const PixelFormat& format, const unsigned char* src, icFloatNumber* v) {
    if (format.lab != LabEncoding::None) {
        DecodeLab(format, src, v);
    } else if (format.bitsPerSample == 16) {
        for (int i = 0; i < format.colourChannels; ++i)
            v[i] = DecodeUnsigned16(LoadSample16(src + 2 * i));
    } else {
        for (int i = 0; i < format.colourChannels; ++i)
            v[i] = src[i] * kInv255;
    }
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

inline uint16_t EncodeUnsigned16(icFloatNumber t) {
    return static_cast<uint16_t>(static_cast<int>(ClipUnit(t) * 65535.0 + 0.5));
}

// a* and b* round to the nearest value, halves away from zero, so that
// every signed byte decodes and encodes back to itself.
inline unsigned char EncodeSigned(icFloatNumber t) {
    return static_cast<unsigned char>(static_cast<int8_t>(std::round(ClipUnit(t) * 255.0 - 128.0)));
}

// The same in 1/256ths of a unit, for 16-bit CIELab.
inline uint16_t EncodeSigned16(icFloatNumber t) {
    return static_cast<uint16_t>(static_cast<int16_t>(std::round(ClipUnit(t) * 65280.0 - 32768.0)));
}

inline void EncodeLab(const PixelFormat& format, icFloatNumber* v, unsigned char* dst) {
    if (format.xyzAsLab) {
        icXyzFromPcs(v);
        icXYZtoLab(v, nullptr, nullptr);
        icLabToPcs(v);
    }
    if (format.bitsPerSample == 16) {
        StoreSample16(EncodeUnsigned16(v[0]), dst);
        StoreSample16(EncodeSigned16(v[1]), dst + 2);
        StoreSample16(EncodeSigned16(v[2]), dst + 4);
        return;
    }
    dst[0] = EncodeUnsigned(v[0]);
    dst[1] = EncodeSigned(v[1]);
    dst[2] = EncodeSigned(v[2]);
}

// Encodes the transform's output; v may be changed on the way. Destinations
// store L*a*b* as CIELab.
inline void EncodePixel(const PixelFormat& format, icFloatNumber* v, unsigned char* dst) {
    if (format.lab != LabEncoding::None) {
        EncodeLab(format, v, dst);
    } else if (format.bitsPerSample == 16) {
        for (int i = 0; i < format.colourChannels; ++i)
            StoreSample16(EncodeUnsigned16(v[i]), dst + 2 * i);
    } else {
        for (int i = 0; i < format.colourChannels; ++i)
            dst[i] = EncodeUnsigned(v[i]);
    }
}

// Whether each channel's value depends on its own byte alone (L*a*b* bytes
// for an XYZ profile mix the channels on the way in).
inline bool DecodesChannelByChannel(const PixelFormat& format) {
    return !(format.lab != LabEncoding::None && format.xyzAsLab);
}

// One output channel's sample from its value, when the format's samples are
// made channel by channel: a byte, or a 16-bit sample (then the byte
// encoder is null). Both are null when XYZ values stored as CIELab mix the
// channels on the way out.
using ChannelEncoder = unsigned char (*)(int channel, icFloatNumber value);
using ChannelWordEncoder = uint16_t (*)(int channel, icFloatNumber value);
inline ChannelEncoder ChannelEncoderFor(const PixelFormat& format) {
    if ((format.lab != LabEncoding::None && format.xyzAsLab) || format.bitsPerSample != 8)
        return nullptr;
    if (format.lab != LabEncoding::None)
        return [](int channel, icFloatNumber v) {
            return channel == 0 ? EncodeUnsigned(v) : EncodeSigned(v);
        };
    return [](int, icFloatNumber v) { return EncodeUnsigned(v); };
}
inline ChannelWordEncoder ChannelWordEncoderFor(const PixelFormat& format) {
    if ((format.lab != LabEncoding::None && format.xyzAsLab) || format.bitsPerSample != 16)
        return nullptr;
    if (format.lab != LabEncoding::None)
        return [](int channel, icFloatNumber v) {
            return channel == 0 ? EncodeUnsigned16(v) : EncodeSigned16(v);
        };
    return [](int, icFloatNumber v) { return EncodeUnsigned16(v); };
}
