// Little CMS's XYZ to Lab, quicker. Compiled without fused multiply-adds, so
// that every product and sum rounds where Little CMS's does.
//
// Little CMS takes each ratio t to the white point through pow(t, 1.0 / 3)
// above (24/116)^3 and through a straight line below, which is the slowest
// part of a list. A cube root of our own is quicker but does not round as
// pow does; it need not. Every step from such a value to the stage's floats
// (multiplying or dividing by a positive constant, adding a constant,
// subtracting another channel's value, each rounded to double, then to
// float) never decreases, or never increases, as the value grows. So when we
// know an interval [lo, hi] holding pow's result and both ends give the same
// floats, pow's result gives them too. Otherwise (about one colour in ten
// thousand) Little CMS computes the colour.
#include "IccFastLab.h"

#include <lcms2.h>

#include <cstdint>
#include <cstring>

#include "IccLcmsInternals.h"
#include "IccSimd.h"

namespace {

constexpr double kLinearLimit = (24.0 / 116.0) * (24.0 / 116.0) * (24.0 / 116.0);
// A third of a float's bits plus this is a float near the cube root of the
// float those bits make (within 3.5 % on the range used here).
constexpr int32_t kCubeRootBias = 709921077;

// Little CMS's Lab from XYZ, computed by Little CMS (with pow for the cube
// roots).
void LcmsXyzToLab(const float* in, float* out) {
    const cmsCIEXYZ xyz{in[0] * icMaxEncodeableXyz, in[1] * icMaxEncodeableXyz,
                        in[2] * icMaxEncodeableXyz};
    cmsCIELab lab;
    cmsXYZ2Lab(nullptr, &lab, &xyz);
    out[0] = static_cast<float>(lab.L / 100.0);
    out[1] = static_cast<float>((lab.a + 128.0) / 255.0);
    out[2] = static_cast<float>((lab.b + 128.0) / 255.0);
}

struct Bracket {
    double lo, hi;
};

// Halley's iteration for the cube root from a guess made of the bits of t
// as a float: within 2^-45 on (24/116)^3..8 after two steps. Its accuracy
// is not what makes Bracket sound; CubeRootBracket checks the interval
// itself.
[[gnu::always_inline]] inline double FastCubeRoot(double t) {
    float f = static_cast<float>(t);
    int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits = static_cast<int32_t>(static_cast<float>(bits) * (1.0f / 3.0f)) + kCubeRootBias;
    std::memcpy(&f, &bits, sizeof f);
    double y = f;
    for (int i = 0; i < 2; ++i) {
        const double y3 = y * y * y;
        y = y * (y3 + 2.0 * t) / (2.0 * y3 + t);
    }
    return y;
}

// Whether pow(t, 1.0 / 3) provably lies in b, for t in (2^-7, 8). The proof:
// 1.0 / 3 is 1/3 - 2^-54/3, so pow's exact result is the true cube root r
// times t^(-2^-54/3), within 2^-53 of r since |ln t| < 5; glibc's pow is
// within 1 ulp (2^-52) of its exact result: pow(t, 1.0 / 3) is within 2^-48
// of r, which holds with room to spare for any libm within 8 ulps. Each
// cube below is rounded twice, so the computed lo^3 <= t(1 - 2^-45), itself
// rounded, makes the exact lo^3 < t(1 - 2^-46) < (r(1 - 2^-48))^3: lo is
// below pow's result. Likewise for hi. A cube root within 2^-43 of r passes.
constexpr double kBracketWidth = 0x1p-40;
constexpr double kCubeMargin = 0x1p-45;

[[gnu::always_inline]] inline bool CubeRootBracket(double t, Bracket& b) {
    const double y = FastCubeRoot(t);
    b.lo = y * (1.0 - kBracketWidth);
    b.hi = y * (1.0 + kBracketWidth);
    return b.lo * b.lo * b.lo <= t * (1.0 - kCubeMargin) &&
           b.hi * b.hi * b.hi >= t * (1.0 + kCubeMargin);
}

// Little CMS's f(t) of XYZ to Lab as an interval; false when it cannot be
// bounded here (NaN, far outside the encodable range).
[[gnu::always_inline]] inline bool LabFunction(double t, Bracket& b) {
    if (t <= kLinearLimit) {
        b.lo = b.hi = (841.0 / 108.0) * t + (16.0 / 116.0);
        return true;
    }
    return t < 8.0 && CubeRootBracket(t, b);
}

// --- The same for four colours at once, one a lane. Each lane's arithmetic
// is the scalar code's, operation for operation.

using icsimd::D4;
using icsimd::F4;
using icsimd::I4;
using icsimd::L4;
using icsimd::LoadWide;
using icsimd::Narrow;
using icsimd::Store;

struct Bracket4 {
    D4 lo, hi;
    L4 ok; // all ones where the lane's interval holds
};

[[gnu::always_inline]] inline D4 FastCubeRoot4(D4 t) {
    F4 f = __builtin_convertvector(t, F4);
    I4 bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits = __builtin_convertvector(__builtin_convertvector(bits, F4) * (1.0f / 3.0f), I4) +
           kCubeRootBias;
    std::memcpy(&f, &bits, sizeof f);
    D4 y = __builtin_convertvector(f, D4);
    for (int i = 0; i < 2; ++i) {
        const D4 y3 = y * y * y;
        y = y * (y3 + 2.0 * t) / (2.0 * y3 + t);
    }
    return y;
}

[[gnu::always_inline]] inline Bracket4 LabFunction4(D4 t) {
    const D4 y = FastCubeRoot4(t);
    Bracket4 b;
    b.lo = y * (1.0 - kBracketWidth);
    b.hi = y * (1.0 + kBracketWidth);
    b.ok = (b.lo * b.lo * b.lo <= t * (1.0 - kCubeMargin)) &
           (b.hi * b.hi * b.hi >= t * (1.0 + kCubeMargin)) & (t < 8.0);
    const L4 linear = t <= kLinearLimit;
    const D4 line = (841.0 / 108.0) * t + (16.0 / 116.0);
    b.lo = linear ? line : b.lo;
    b.hi = linear ? line : b.hi;
    b.ok |= linear;
    return b;
}

// Four colours; false in a lane whose result must come from Little CMS.
[[gnu::always_inline]] inline I4 XyzToLab4(const float* in, float* out, unsigned stride) {
    const Bracket4 fx = LabFunction4(LoadWide(in) * icMaxEncodeableXyz / cmsD50X);
    const Bracket4 fy = LabFunction4(LoadWide(in + stride) * icMaxEncodeableXyz / cmsD50Y);
    const Bracket4 fz = LabFunction4(LoadWide(in + 2 * stride) * icMaxEncodeableXyz / cmsD50Z);
    const F4 l = Narrow((116.0 * fy.lo - 16.0) / 100.0);
    const F4 a = Narrow((500.0 * (fx.lo - fy.hi) + 128.0) / 255.0);
    const F4 b = Narrow((200.0 * (fy.lo - fz.hi) + 128.0) / 255.0);
    const I4 same = (l == Narrow((116.0 * fy.hi - 16.0) / 100.0)) &
                    (a == Narrow((500.0 * (fx.hi - fy.lo) + 128.0) / 255.0)) &
                    (b == Narrow((200.0 * (fy.hi - fz.lo) + 128.0) / 255.0));
    Store(out, l);
    Store(out + stride, a);
    Store(out + 2 * stride, b);
    return same & __builtin_convertvector(fx.ok & fy.ok & fz.ok, I4);
}

// With AVX each lane group is one instruction instead of two; the results
// are the same bits, as no instruction set changes how an IEEE operation
// rounds.
IC_SIMD_CLONES void XyzToLabLanes(const float* in, float* out, unsigned n, unsigned stride) {
    for (unsigned i = 0; i < n; i += 4) {
        const I4 ok = XyzToLab4(in + i, out + i, stride);
        for (unsigned k = 0; k < 4; ++k) {
            if (ok[k])
                continue;
            const float xyz[3] = {in[i + k], in[stride + i + k], in[2 * stride + i + k]};
            float lab[3];
            LcmsXyzToLab(xyz, lab);
            for (unsigned c = 0; c < 3; ++c)
                out[c * stride + i + k] = lab[c];
        }
    }
}

} // namespace

void icFastXyzToLab(const float* in, float* out) {
    Bracket fx, fy, fz;
    if (LabFunction(in[0] * icMaxEncodeableXyz / cmsD50X, fx) &&
        LabFunction(in[1] * icMaxEncodeableXyz / cmsD50Y, fy) &&
        LabFunction(in[2] * icMaxEncodeableXyz / cmsD50Z, fz)) {
        // a and b fall as fy grows and rise with fx (fall with fz).
        const float l = static_cast<float>((116.0 * fy.lo - 16.0) / 100.0);
        const float a = static_cast<float>((500.0 * (fx.lo - fy.hi) + 128.0) / 255.0);
        const float b = static_cast<float>((200.0 * (fy.lo - fz.hi) + 128.0) / 255.0);
        if (l == static_cast<float>((116.0 * fy.hi - 16.0) / 100.0) &&
            a == static_cast<float>((500.0 * (fx.hi - fy.lo) + 128.0) / 255.0) &&
            b == static_cast<float>((200.0 * (fy.hi - fz.lo) + 128.0) / 255.0)) {
            out[0] = l;
            out[1] = a;
            out[2] = b;
            return;
        }
    }
    LcmsXyzToLab(in, out);
}

void icFastXyzToLabLanes(const float* in, float* out, unsigned n, unsigned stride) {
    XyzToLabLanes(in, out, n, stride);
}
