#pragma once
// The colour layer's own Little CMS context and the plug-ins registered in it,
// which make Little CMS compute what the ICC reference CMM computes: linear
// interpolation of every table, no black-point compensation, and the
// perceptual PCS adjustment between profile versions. Only icc/ includes this.

#include <lcms2_plugin.h>

#include <memory>

// The context every profile is opened and every transform is made in; null
// when Little CMS could not make it. Made once, kept for the program's life.
cmsContext icLcmsContext();

// Whether step `index` of a chain, reached in `current` colour space, is used
// from device to PCS (as Little CMS decides it: the first step, and any step
// reached in a device space).
bool icLcmsStepIsInput(cmsUInt32Number index, cmsColorSpaceSignature current, cmsHPROFILE profile);
// The colour space a step hands on to the next.
cmsColorSpaceSignature icLcmsStepOutputSpace(cmsUInt32Number index, cmsColorSpaceSignature current,
                                             cmsHPROFILE profile);

// The table interpolation plug-in's factory.
cmsInterpFunction icLcmsInterpolators(cmsUInt32Number nInputs, cmsUInt32Number nOutputs,
                                      cmsUInt32Number dwFlags);

// The table interpolation of `count` points (a multiple of 4, at most 64) at
// once, for a 16-bit table of three inputs and three or four outputs
// interpolated by the plug-in. Input c of point i is in[c * stride + i];
// output o goes to out[i * 4 + o]. False, with nothing written, for any other
// table.
bool icLcmsLerp16Lanes(const cmsInterpParams* p, const cmsUInt16Number* in, unsigned stride,
                       cmsUInt16Number* out, unsigned count);

// The link of the ICC intents (perceptual, relative and absolute
// colorimetric, saturation).
cmsPipeline* icLcmsLinkProfiles(cmsContext ctx, cmsUInt32Number nProfiles,
                                cmsUInt32Number intents[], cmsHPROFILE profiles[], cmsBool bpc[],
                                cmsFloat64Number adaptation[], cmsUInt32Number dwFlags);

// How the values of one colour space cross between the ICC float
// conventions and Little CMS's double formats.
enum class IccLcmsEncoding { Plain, Ink, Lab, Xyz };

// ICC float values to Little CMS's doubles and back (channels of the space).
void icToLcms(IccLcmsEncoding e, int channels, const double* in, double* out);
void icFromLcms(IccLcmsEncoding e, int channels, const double* in, double* out);

// Makes the next transform created on this thread hand a copy of the stage
// list Little CMS will evaluate to *slot (null: stop capturing).
void icLcmsCapturePipeline(cmsPipeline** slot);
// The optimisation plug-in that does the capturing; it never changes the
// pipeline itself.
cmsBool icLcmsOptimize(cmsPipeline** lut, cmsUInt32Number intent, cmsUInt32Number* inputFormat,
                       cmsUInt32Number* outputFormat, cmsUInt32Number* flags);

// --- What the evaluator knows of Little CMS's private arithmetic (IccLcmsInternals.cpp).

// Whether the library in use is the version this knowledge was written for.
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

// The fast evaluator of a captured link (IccFastEval.cpp). levels[c * 256 + k]
// is channel c's ICC float value at level k. Null when the link has stages
// the evaluator cannot take apart, or its source levels mix channels.
class CIccFastEval;
using IccByteEncoder = unsigned char (*)(int channel, double value);
std::unique_ptr<CIccFastEval> icBuildFastEval(const cmsPipeline* link, IccLcmsEncoding src,
                                              int srcChannels, IccLcmsEncoding dst, int dstChannels,
                                              const double* levels, IccByteEncoder encoder);
