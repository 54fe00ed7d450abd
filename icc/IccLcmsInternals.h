#pragma once
// What the fast evaluator knows of Little CMS's private arithmetic (see
// IccLcmsInternals.cpp). Only icc/ includes this.

#include <lcms2.h>

#include "IccLcmsEncoding.h"

// Little CMS's pipelines carry XYZ as the value over this, the largest XYZ a
// 16-bit value encodes.
constexpr double icMaxEncodeableXyz = 1.0 + 32767.0 / 32768.0;

// Whether the library in use is one of the releases this knowledge was
// checked against, and quantises as they do.
bool icLcmsInternalsMatch();
// The word a float becomes where Little CMS reads a 16-bit table.
cmsUInt16Number icLcmsQuantise(cmsFloat32Number v);
// The same for n floats, `stride` apart in `out`.
void icLcmsQuantiseMany(const cmsFloat32Number* in, cmsUInt16Number* out, unsigned n,
                        unsigned stride);
// Whether a curve is a 16-bit table, evaluated at a quantised input.
bool icLcmsCurveIsTable16(const cmsToneCurve* curve);
// The float a pipeline receives from one double channel of a pixel, and the
// double a pipeline's float becomes, channel by channel.
cmsFloat32Number icLcmsUnrollDouble(IccLcmsEncoding e, int channel, double v);
double icLcmsPackDouble(IccLcmsEncoding e, int channel, cmsFloat32Number v);
