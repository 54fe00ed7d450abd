#pragma once
// How Little CMS walks a chain of profiles, and the link of the ICC intents
// the layer's context uses in place of its own. Only icc/ includes this.

#include <lcms2_plugin.h>

// Whether step `index` of a chain, reached in `current` colour space, is used
// from device to PCS (as Little CMS decides it: the first step, and any step
// reached in a device space).
bool icLcmsStepIsInput(cmsUInt32Number index, cmsColorSpaceSignature current, cmsHPROFILE profile);
// The colour space a step hands on to the next.
cmsColorSpaceSignature icLcmsStepOutputSpace(cmsUInt32Number index, cmsColorSpaceSignature current,
                                             cmsHPROFILE profile);

// The link of the ICC intents (perceptual, relative and absolute
// colorimetric, saturation).
cmsPipeline* icLcmsLinkProfiles(cmsContext ctx, cmsUInt32Number nProfiles,
                                cmsUInt32Number intents[], cmsHPROFILE profiles[], cmsBool bpc[],
                                cmsFloat64Number adaptation[], cmsUInt32Number dwFlags);
