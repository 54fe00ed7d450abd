// The one place that depends on how Little CMS works inside rather than on
// its published interface: how floats are quantised for 16-bit tables, how a
// tone curve tells it is a 16-bit table, and how double formats are read into
// and written from the pipeline's floats. These are the same in every release
// from 2.12 to 2.19.1, each read and checked; everything here is used only
// when the library at run time is one of them, and quantises as they do.
#include "IccLcmsInternals.h"

#include <lcms2_plugin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "IccSimd.h"

namespace {

// The releases whose internals were read: 2.12, 2.13, 2.13.1, 2.14 to 2.18,
// and 2.19 (2.19.1 reports 2190 too).
constexpr int kCheckedVersions[] = {2120, 2130, 2131, 2140, 2150, 2160, 2170, 2180, 2190};

// The start of Little CMS's tone curve record (the same from 2.12 to 2.19.1).
struct CurveHead {
    cmsInterpParams* interpParams;
    cmsUInt32Number nSegments; // zero for a 16-bit table
};

// Little CMS's floor: the value rounded to 1/65536 first, then floored.
int QuickFloor(double v) {
    const double t = v + 68719476736.0 * 1.5;
    uint64_t bits;
    memcpy(&bits, &t, sizeof bits);
    return static_cast<int32_t>(static_cast<uint32_t>(bits)) >> 16;
}

} // namespace

namespace {

// Whether the library quantises floats for 16-bit tables as icLcmsQuantise
// does. A library built with CMS_DONT_USE_FAST_FLOOR rounds some halves the
// other way, which neither its version nor its headers tell; the floats on
// either side of every halfway point show it (about 2 ms, once a process).
bool QuantiserAgrees() {
    cmsContext ctx = cmsCreateContext(nullptr, nullptr); // without the layer's plug-ins
    const cmsUInt16Number ends[2] = {0, 0xFFFF};
    cmsToneCurve* identity = cmsBuildTabulatedToneCurve16(ctx, 2, ends);
    bool agrees = identity != nullptr;
    for (unsigned k = 1; agrees && k < 0xFFFF; ++k) {
        const float half = float((k - 0.5) / 65535.0);
        for (float v : {std::nextafter(half, 0.0f), half}) {
            const float want = float(icLcmsQuantise(v) / 65535.0);
            agrees = agrees && cmsEvalToneCurveFloat(identity, v) == want;
        }
    }
    if (identity)
        cmsFreeToneCurve(identity);
    cmsDeleteContext(ctx);
    return agrees;
}

} // namespace

bool icLcmsInternalsMatch() {
#if LCMS_VERSION >= 2120 && LCMS_VERSION <= 2190 && !defined(CMS_USE_BIG_ENDIAN)
    static const bool match = std::find(std::begin(kCheckedVersions), std::end(kCheckedVersions),
                                        cmsGetEncodedCMMversion()) != std::end(kCheckedVersions) &&
                              QuantiserAgrees();
    return match;
#else
    return false;
#endif
}

cmsUInt16Number icLcmsQuantise(cmsFloat32Number v) {
    double d = v * 65535.0 + 0.5;
    if (d <= 0)
        return 0;
    if (d >= 65535.0)
        return 0xFFFF;
    return static_cast<cmsUInt16Number>(QuickFloor(d - 32767.0) + 32767);
}

// icLcmsQuantise four floats a step, QuickFloor's bits taken the same way.
IC_SIMD_CLONES void icLcmsQuantiseMany(const cmsFloat32Number* in, cmsUInt16Number* out, unsigned n,
                                       unsigned stride) {
    using icsimd::D4;
    using icsimd::I4;
    unsigned i = 0;
    for (; i + 4 <= n; i += 4) {
        const D4 d = icsimd::LoadWide(in + i) * 65535.0 + 0.5;
        const D4 t = (d - 32767.0) + 68719476736.0 * 1.5;
        icsimd::L4 bits;
        std::memcpy(&bits, &t, sizeof bits);
        I4 words = (__builtin_convertvector(bits, I4) >> 16) + 32767;
        const I4 low = __builtin_convertvector(d <= 0, I4);
        const I4 high = __builtin_convertvector(d >= 65535.0, I4);
        words = high ? I4{} + 0xFFFF : words;
        words = low ? I4{} : words;
        for (unsigned k = 0; k < 4; ++k)
            out[(i + k) * stride] = static_cast<cmsUInt16Number>(words[k]);
    }
    for (; i < n; ++i)
        out[i * stride] = icLcmsQuantise(in[i]);
}

bool icLcmsCurveIsTable16(const cmsToneCurve* curve) {
    return reinterpret_cast<const CurveHead*>(curve)->nSegments == 0;
}

cmsFloat32Number icLcmsUnrollDouble(IccLcmsEncoding e, int channel, double v) {
    switch (e) {
    case IccLcmsEncoding::Lab:
        return static_cast<cmsFloat32Number>(channel == 0 ? v / 100.0 : (v + 128) / 255.0);
    case IccLcmsEncoding::Xyz:
        return static_cast<cmsFloat32Number>(v / icMaxEncodeableXyz);
    case IccLcmsEncoding::Ink:
        return static_cast<cmsFloat32Number>(v / 100.0);
    case IccLcmsEncoding::Plain:
        break;
    }
    return static_cast<cmsFloat32Number>(v / 1.0);
}

double icLcmsPackDouble(IccLcmsEncoding e, int channel, cmsFloat32Number v) {
    switch (e) {
    case IccLcmsEncoding::Lab:
        return channel == 0 ? v * 100.0 : v * 255.0 - 128.0;
    case IccLcmsEncoding::Xyz:
        return v * icMaxEncodeableXyz;
    case IccLcmsEncoding::Ink:
        return v * 100.0;
    case IccLcmsEncoding::Plain:
        break;
    }
    return v * 1.0;
}
