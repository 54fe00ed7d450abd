// The layer's private Little CMS context: its plug-ins never reach Little
// CMS's global context, so nothing else in the process changes behaviour.
#include "IccLcms.h"

namespace {

cmsPluginRenderingIntent IntentPlugin(cmsUInt32Number intent, const char* name,
                                      cmsPluginBase* next) {
    cmsPluginRenderingIntent p{};
    p.base.Magic = cmsPluginMagicNumber;
    p.base.ExpectedVersion = LCMS_VERSION;
    p.base.Type = cmsPluginRenderingIntentSig;
    p.base.Next = next;
    p.Intent = intent;
    p.Link = icLcmsLinkProfiles;
    for (int i = 0; name[i] != '\0' && i < 255; ++i)
        p.Description[i] = name[i];
    return p;
}

cmsContext MakeContext() {
    static cmsPluginOptimization capture{
        {cmsPluginMagicNumber, LCMS_VERSION, cmsPluginOptimizationSig, nullptr}, icLcmsOptimize};
    static cmsPluginInterpolation interp{
        {cmsPluginMagicNumber, LCMS_VERSION, cmsPluginInterpolationSig, &capture.base},
        icLcmsInterpolators};
    static cmsPluginRenderingIntent absolute =
        IntentPlugin(INTENT_ABSOLUTE_COLORIMETRIC, "Absolute colorimetric", &interp.base);
    static cmsPluginRenderingIntent saturation =
        IntentPlugin(INTENT_SATURATION, "Saturation", &absolute.base);
    static cmsPluginRenderingIntent relative =
        IntentPlugin(INTENT_RELATIVE_COLORIMETRIC, "Relative colorimetric", &saturation.base);
    static cmsPluginRenderingIntent perceptual =
        IntentPlugin(INTENT_PERCEPTUAL, "Perceptual", &relative.base);
    return cmsCreateContext(&perceptual, nullptr);
}

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

cmsContext icLcmsContext() {
    static const cmsContext ctx = MakeContext();
    return ctx;
}
