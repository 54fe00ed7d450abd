#include "IccPcsJoint.h"

#include "IccPcs.h"

const icFloatNumber icPerceptualRefBlackXYZ[3] = {0.00336, 0.0034731, 0.00287};

namespace {

constexpr icFloatNumber kXyzToPcs = 32768.0 / 65535.0;

} // namespace

void icPerceptualBlackToV4(icFloatNumber* xyz) {
    for (int i = 0; i < 3; ++i) {
        const icFloatNumber black = icPerceptualRefBlackXYZ[i];
        xyz[i] = xyz[i] * (1.0 - black / icD50XYZ[i]) + black * kXyzToPcs;
    }
}

void icPerceptualBlackFromV4(icFloatNumber* xyz) {
    for (int i = 0; i < 3; ++i) {
        const icFloatNumber black = icPerceptualRefBlackXYZ[i];
        xyz[i] = (xyz[i] - black * kXyzToPcs) / (1.0 - black / icD50XYZ[i]);
    }
}

void icApplyPcsJoint(const IccPcsJoint& joint, icFloatNumber* pcs) {
    if (!joint.toV4 && !joint.fromV4)
        return;
    const bool lab = joint.pcs == icSigLabData;
    if (lab) {
        icLabFromPcs(pcs);
        icLabtoXYZ(pcs);
        icXyzToPcs(pcs);
    }
    if (joint.toV4)
        icPerceptualBlackToV4(pcs);
    if (joint.fromV4)
        icPerceptualBlackFromV4(pcs);
    if (lab) {
        icXyzFromPcs(pcs);
        icXYZtoLab(pcs);
        icLabToPcs(pcs);
    }
}
