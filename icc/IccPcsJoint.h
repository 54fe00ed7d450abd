#pragma once
// What happens to PCS values between two steps of a transform. For the
// perceptual intent, ICC version 4 puts the black of its reference medium
// above zero, while version 2 perceptual tables and matrix/TRC profiles (which
// carry no perceptual rendering of their own) reach zero. A step of that kind
// is moved onto the version 4 medium on its way into the PCS and off it on its
// way out, so that steps of either kind meet on one scale. Plain arithmetic,
// so that any evaluator calling these functions gets the same results.

#include "IccDefs.h"

// The version 4 perceptual reference medium's black, real XYZ (D50 white).
extern const icFloatNumber icPerceptualRefBlackXYZ[3];

// Scales PCS-encoded XYZ (value x 32768/65535) in place from a zero black to
// the reference black (ToV4), or back (FromV4); white stays white.
void icPerceptualBlackToV4(icFloatNumber* xyz);
void icPerceptualBlackFromV4(icFloatNumber* xyz);

// The adjustments made where one step meets the next. `pcs` is the space the
// values are in there ('Lab ' or 'XYZ ', in the ICC float encodings).
struct IccPcsJoint {
    icColorSpaceSignature pcs = icSigXYZData;
    bool toV4 = false;   // the step before is moved onto the version 4 medium
    bool fromV4 = false; // the step after is moved off it
};

// Applies the joint's adjustments to one PCS value in place.
void icApplyPcsJoint(const IccPcsJoint& joint, icFloatNumber* pcs);
