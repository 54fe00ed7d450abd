// Little CMS's own numbers for an image, to hold the program's against.
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Support.h"

namespace ts {
namespace {

// How Little CMS takes channel c of a format in doubles: a unit value x mul + add.
void Scale(cmsUInt32Number f, uint32_t c, double& mul, double& add) {
    const cmsUInt32Number pt = T_COLORSPACE(f);
    mul = pt == PT_Lab ? (c ? 255 : 100) : pt == PT_CMY || pt == PT_CMYK || pt >= PT_MCH5 ? 100 : 1;
    add = pt == PT_Lab && c ? -128 : 0;
}

// Sample c of a pixel as Little CMS takes it: TIFF's L*a*b* encodings as real L* a* b*.
double Decode(const Tiff& t, uint32_t s, uint32_t c, cmsUInt32Number f) {
    const double max = t.bits == 16 ? 65535 : 255;
    double mul, add;
    Scale(f, c, mul, add);
    if (!add)
        return (t.photometric || t.samples > 1 ? s : max - s) / max * mul; // white-is-zero grey
    if (t.photometric == 9)                                                // ICCLab: + 128
        return t.bits == 16 ? s / 256.0 - 128 : s - 128.0;
    return t.bits == 16 ? int16_t(s) / 256.0 : int8_t(s); // CIELab: signed
}

uint32_t Encode(double w, uint32_t c, cmsUInt32Number f, uint16_t bits) {
    const double max = bits == 16 ? 65535 : 255;
    double mul, add;
    Scale(f, c, mul, add);
    if (!add)
        return uint32_t(std::clamp(w / mul, 0., 1.) * max + .5);
    const double a = std::round(std::clamp(w, -128., 127.) * (bits == 16 ? 256 : 1));
    return uint32_t(int32_t(a)) & (bits == 16 ? 0xFFFF : 0xFF); // CIELab: signed
}

} // namespace

uint32_t Sample(const Bytes& pixels, size_t i, uint16_t bits) {
    if (bits == 8)
        return pixels[i];
    uint16_t v;
    std::memcpy(&v, &pixels[2 * i], 2);
    return v;
}

void Append(Bytes& out, uint32_t v, uint16_t bits) {
    if (bits == 8) {
        out.push_back(uint8_t(v));
        return;
    }
    const uint16_t w = uint16_t(v);
    out.insert(out.end(), reinterpret_cast<const unsigned char*>(&w),
               reinterpret_cast<const unsigned char*>(&w) + 2);
}

Bytes Lcms(const std::string& from, const std::string& to, int intentIndex, const Tiff& t,
           uint16_t outBits, uint32_t flags) {
    cmsHPROFILE a = cmsOpenProfileFromFile(from.c_str(), "r");
    cmsHPROFILE b = cmsOpenProfileFromFile(to.c_str(), "r");
    const cmsUInt32Number fa = cmsFormatterForColorspaceOfProfile(a, 0, TRUE);
    const cmsUInt32Number fb = cmsFormatterForColorspaceOfProfile(b, 0, TRUE);
    const int intent = intentIndex ? intentIndex - 1 : int(cmsGetHeaderRenderingIntent(a));
    cmsHTRANSFORM x = cmsCreateTransform(a, fa, b, fb, cmsUInt32Number(intent), flags);
    outBits = outBits ? outBits : t.bits;
    Bytes out;
    const size_t count = t.pixels.size() / (t.bits / 8);
    for (size_t at = 0; at < count; at += t.samples) {
        double v[cmsMAXCHANNELS], w[cmsMAXCHANNELS];
        for (uint32_t c = 0; c < T_CHANNELS(fa); ++c)
            v[c] = Decode(t, Sample(t.pixels, at + c, t.bits), c, fa);
        cmsDoTransform(x, v, w, 1);
        for (uint32_t c = 0; c < T_CHANNELS(fb); ++c)
            Append(out, Encode(w[c], c, fb, outBits), outBits);
        if (t.extraSamples) { // alpha, at the destination's depth
            const uint32_t alpha = Sample(t.pixels, at + t.samples - 1, t.bits);
            Append(out,
                   t.bits == outBits ? alpha
                   : outBits == 16   ? alpha * 257
                                     : (alpha + 128) / 257,
                   outBits);
        }
    }
    cmsDeleteTransform(x);
    cmsCloseProfile(a);
    cmsCloseProfile(b);
    return out;
}

int WorstDifference(const Bytes& got, const Bytes& want, uint16_t bits, bool cieLab,
                    uint16_t samples) {
    if (got.size() != want.size())
        return 1 << 30;
    int worst = 0;
    for (size_t i = 0; i < got.size() / (bits / 8); ++i) {
        int g = int(Sample(got, i, bits)), w = int(Sample(want, i, bits));
        if (cieLab && i % samples != 0) // a* and b* are signed
            g = bits == 16 ? int16_t(g) : int8_t(g), w = bits == 16 ? int16_t(w) : int8_t(w);
        worst = std::max(worst, std::abs(g - w));
    }
    return worst;
}

} // namespace ts
