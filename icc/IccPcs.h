#pragma once
// Conversions between the ICC float encodings of the profile connection space
// and real CIE values. All of them work in place on three doubles.

#include "IccDefs.h"

// PCS-encoded Lab (L*/100, (a*+128)/255, (b*+128)/255) to real L*a*b*.
void icLabFromPcs(icFloatNumber* lab);
// Real L*a*b* to PCS-encoded Lab.
void icLabToPcs(icFloatNumber* lab);
// PCS-encoded XYZ (value x 32768/65535) to real XYZ (Y = 1 for white).
void icXyzFromPcs(icFloatNumber* xyz);
// Real XYZ to PCS-encoded XYZ.
void icXyzToPcs(icFloatNumber* xyz);

// Real L*a*b* to real XYZ relative to the white point (D50 when null). A null
// lab means the conversion works in place on xyz.
void icLabtoXYZ(icFloatNumber* xyz, const icFloatNumber* lab = nullptr,
                const icFloatNumber* whiteXYZ = nullptr);
// Real XYZ to real L*a*b* relative to the white point (D50 when null). A null
// xyz means the conversion works in place on lab.
void icXYZtoLab(icFloatNumber* lab, const icFloatNumber* xyz = nullptr,
                const icFloatNumber* whiteXYZ = nullptr);

// The D50 white of the profile connection space.
extern const icFloatNumber icD50XYZ[3];
