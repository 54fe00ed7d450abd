#include "IccProfileInfo.h"

#include <lcms2.h>

#include <memory>

#include "IccCmm.h"

namespace {

struct ProfileCloser {
    void operator()(void* h) const { cmsCloseProfile(h); }
};

std::string Description(cmsHPROFILE h) {
    const cmsUInt32Number size =
        cmsGetProfileInfoASCII(h, cmsInfoDescription, "en", "US", nullptr, 0);
    if (size <= 1)
        return std::string();
    std::string text(size, '\0');
    cmsGetProfileInfoASCII(h, cmsInfoDescription, "en", "US", text.data(), size);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    return text;
}

} // namespace

icProfileSummary icSummariseProfile(const unsigned char* data, size_t size) {
    icProfileSummary summary;
    // As the transform reads them: the whole profile, no longer than its header says.
    if (!data || size < 128 || size > icMaxProfileBytes ||
        (uint32_t(data[0]) << 24 | uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3]) >
            size)
        return summary;
    std::unique_ptr<void, ProfileCloser> h(
        cmsOpenProfileFromMem(data, static_cast<cmsUInt32Number>(size)));
    if (!h)
        return summary;
    const cmsProfileClassSignature cls = cmsGetDeviceClass(h.get());
    summary.kind = cls == cmsSigLinkClass || cls == cmsSigNamedColorClass
                       ? icProfileSummary::Kind::LinkOrNamed
                       : icProfileSummary::Kind::Usable;
    summary.description = Description(h.get());
    summary.space = cmsGetColorSpace(h.get());
    summary.pcs = cmsGetPCS(h.get());
    return summary;
}
