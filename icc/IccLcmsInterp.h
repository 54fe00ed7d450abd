#pragma once
// Little CMS's table interpolation replaced by the layer's linear one
// (IccInterp.h). Only icc/ includes this.

#include <lcms2_plugin.h>

// The table interpolation plug-in's factory.
cmsInterpFunction icLcmsInterpolators(cmsUInt32Number nInputs, cmsUInt32Number nOutputs,
                                      cmsUInt32Number dwFlags);

// The table interpolation of `count` points (a multiple of 4, at most 64) at
// once, for a 16-bit table of three or four inputs and three or four outputs
// interpolated by the plug-in. Input c of point i is in[c * stride + i];
// output o goes to out[i * 4 + o]. False, with nothing written, for any other
// table.
bool icLcmsLerp16Lanes(const cmsInterpParams* p, const cmsUInt16Number* in, unsigned stride,
                       cmsUInt16Number* out, unsigned count);
