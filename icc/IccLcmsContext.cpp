// The layer's private Little CMS context: its plug-ins never reach Little
// CMS's global context, so nothing else in the process changes behaviour.
#include "IccLcmsContext.h"

#include <lcms2_plugin.h>

#include "IccLcmsCapture.h"
#include "IccLcmsInterp.h"
#include "IccLcmsLink.h"

namespace {

// Little CMS refuses a plug-in that expects a later release than itself. The
// plug-in records used here are the same from 2.12 on, so a build against
// later headers still runs with an earlier library.
constexpr cmsUInt32Number kPluginVersion = LCMS_VERSION < 2120 ? LCMS_VERSION : 2120;

cmsPluginRenderingIntent IntentPlugin(cmsUInt32Number intent, const char* name,
                                      cmsPluginBase* next) {
    cmsPluginRenderingIntent p{};
    p.base.Magic = cmsPluginMagicNumber;
    p.base.ExpectedVersion = kPluginVersion;
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
        {cmsPluginMagicNumber, kPluginVersion, cmsPluginOptimizationSig, nullptr}, icLcmsOptimize};
    static cmsPluginInterpolation interp{
        {cmsPluginMagicNumber, kPluginVersion, cmsPluginInterpolationSig, &capture.base},
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

} // namespace

cmsContext icLcmsContext() {
    static const cmsContext ctx = MakeContext();
    return ctx;
}
