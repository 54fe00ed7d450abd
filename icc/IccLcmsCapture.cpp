// The capture of the stage list a transform evaluates: Little CMS hands it
// to the optimisation plug-in registered in the layer's context.
#include "IccLcmsCapture.h"

namespace {

thread_local cmsPipeline** tCaptureSlot = nullptr;

} // namespace

void icLcmsCapturePipeline(cmsPipeline** slot) {
    tCaptureSlot = slot;
}

// Little CMS calls this with the stage list it has settled on after its own
// clean-up (identities removed, neighbouring matrices joined); with float
// formats it evaluates that list as it is, which is what the copy records.
cmsBool icLcmsOptimize(cmsPipeline** lut, cmsUInt32Number, cmsUInt32Number*, cmsUInt32Number*,
                       cmsUInt32Number*) {
    if (tCaptureSlot != nullptr && lut != nullptr && *lut != nullptr && *tCaptureSlot == nullptr)
        *tCaptureSlot = cmsPipelineDup(*lut);
    return FALSE;
}
