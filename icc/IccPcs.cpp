#include "IccPcs.h"

#include <cmath>

const icFloatNumber icD50XYZ[3] = {0.9642, 1.0, 0.8249};

namespace {

// The XYZ encoding of the ICC float interface: 1.0 stands for 65535/32768.
constexpr icFloatNumber kXyzToPcs = 32768.0 / 65535.0;
constexpr icFloatNumber kXyzFromPcs = 65535.0 / 32768.0;

// CIE lightness function and its inverse, with the linear segment near black.
icFloatNumber CieF(icFloatNumber t) {
    const icFloatNumber limit = (24.0 / 116.0) * (24.0 / 116.0) * (24.0 / 116.0);
    if (t <= limit)
        return (841.0 / 108.0) * t + (16.0 / 116.0);
    return std::cbrt(t);
}

icFloatNumber CieFInverse(icFloatNumber t) {
    if (t <= 24.0 / 116.0)
        return (108.0 / 841.0) * (t - (16.0 / 116.0));
    return t * t * t;
}

} // namespace

void icLabFromPcs(icFloatNumber* lab) {
    lab[0] *= 100.0;
    lab[1] = lab[1] * 255.0 - 128.0;
    lab[2] = lab[2] * 255.0 - 128.0;
}

void icLabToPcs(icFloatNumber* lab) {
    lab[0] /= 100.0;
    lab[1] = (lab[1] + 128.0) / 255.0;
    lab[2] = (lab[2] + 128.0) / 255.0;
}

void icXyzFromPcs(icFloatNumber* xyz) {
    for (int i = 0; i < 3; ++i)
        xyz[i] *= kXyzFromPcs;
}

void icXyzToPcs(icFloatNumber* xyz) {
    for (int i = 0; i < 3; ++i)
        xyz[i] *= kXyzToPcs;
}

void icLabtoXYZ(icFloatNumber* xyz, const icFloatNumber* lab, const icFloatNumber* whiteXYZ) {
    const icFloatNumber* white = whiteXYZ ? whiteXYZ : icD50XYZ;
    const icFloatNumber* in = lab ? lab : xyz;
    const icFloatNumber fy = (in[0] + 16.0) / 116.0;
    const icFloatNumber fx = fy + 0.002 * in[1];
    const icFloatNumber fz = fy - 0.005 * in[2];
    xyz[0] = CieFInverse(fx) * white[0];
    xyz[1] = CieFInverse(fy) * white[1];
    xyz[2] = CieFInverse(fz) * white[2];
}

void icXYZtoLab(icFloatNumber* lab, const icFloatNumber* xyz, const icFloatNumber* whiteXYZ) {
    const icFloatNumber* white = whiteXYZ ? whiteXYZ : icD50XYZ;
    const icFloatNumber* in = xyz ? xyz : lab;
    const icFloatNumber fx = CieF(in[0] / white[0]);
    const icFloatNumber fy = CieF(in[1] / white[1]);
    const icFloatNumber fz = CieF(in[2] / white[2]);
    lab[0] = 116.0 * fy - 16.0;
    lab[1] = 500.0 * (fx - fy);
    lab[2] = 200.0 * (fy - fz);
}
