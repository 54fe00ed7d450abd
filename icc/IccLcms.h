#pragma once
// The colour layer's own Little CMS context and the plug-ins registered in it,
// which make Little CMS compute what the ICC reference CMM computes: linear
// interpolation of every table, no black-point compensation, and the
// perceptual PCS adjustment between profile versions. Only icc/ includes this.

#include <lcms2_plugin.h>

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

// The link of the ICC intents (perceptual, relative and absolute
// colorimetric, saturation).
cmsPipeline* icLcmsLinkProfiles(cmsContext ctx, cmsUInt32Number nProfiles,
                                cmsUInt32Number intents[], cmsHPROFILE profiles[], cmsBool bpc[],
                                cmsFloat64Number adaptation[], cmsUInt32Number dwFlags);
