#pragma once
// A copy of the stage list Little CMS settles on for a transform, which the
// fast evaluator is built from. Only icc/ includes this.

#include <lcms2_plugin.h>

// Makes the next transform created on this thread hand a copy of the stage
// list Little CMS will evaluate to *slot (null: stop capturing).
void icLcmsCapturePipeline(cmsPipeline** slot);
// The optimisation plug-in that does the capturing; it never changes the
// pipeline itself.
cmsBool icLcmsOptimize(cmsPipeline** lut, cmsUInt32Number intent, cmsUInt32Number* inputFormat,
                       cmsUInt32Number* outputFormat, cmsUInt32Number* flags);
