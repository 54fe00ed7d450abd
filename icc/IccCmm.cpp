#include "IccCmm.h"

#include <algorithm>
#include <vector>

#include <lcms2.h>

#include "FileRead.h"
#include "IccFastEval.h"
#include "IccFastEvalBuild.h"
#include "IccFastEvalCheck.h"
#include "IccLcmsCapture.h"
#include "IccLcmsContext.h"
#include "IccLcmsEncoding.h"
#include "IccLcmsInternals.h"
#include "IccLcmsLink.h"

namespace {

struct ProfileCloser {
    void operator()(void* h) const { cmsCloseProfile(h); }
};
using ProfilePtr = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* h) const { cmsDeleteTransform(h); }
};
using TransformPtr = std::unique_ptr<void, TransformDeleter>;

struct PipelineDeleter {
    void operator()(cmsPipeline* p) const { cmsPipelineFree(p); }
};
using PipelinePtr = std::unique_ptr<cmsPipeline, PipelineDeleter>;

using Encoding = IccLcmsEncoding;

struct SpaceFormat {
    cmsUInt32Number format = 0;
    Encoding encoding = Encoding::Plain;
    int channels = 0;
};

// Little CMS scales the doubles of ink spaces to 0..100.
bool IsInkSpace(int pt) {
    return pt == PT_CMY || pt == PT_CMYK || (pt >= PT_MCH5 && pt <= PT_MCH15);
}

bool DescribeSpace(icColorSpaceSignature sig, SpaceFormat& out) {
    const int channels = icGetSpaceSamples(sig);
    if (channels < 1)
        return false;
    out.channels = channels;
    if (sig == icSigLabData) {
        out.format = TYPE_Lab_DBL;
        out.encoding = Encoding::Lab;
        return true;
    }
    if (sig == icSigXYZData) {
        out.format = TYPE_XYZ_DBL;
        out.encoding = Encoding::Xyz;
        return true;
    }
    const int pt = _cmsLCMScolorSpace(static_cast<cmsColorSpaceSignature>(sig));
    if (pt <= 0)
        return false;
    out.format = FLOAT_SH(1) | COLORSPACE_SH(pt) | CHANNELS_SH(channels) | BYTES_SH(0);
    out.encoding = IsInkSpace(pt) ? Encoding::Ink : Encoding::Plain;
    return true;
}

void ToLcms(const SpaceFormat& f, const icFloatNumber* in, double* out) {
    icToLcms(f.encoding, f.channels, in, out);
}

void FromLcms(const SpaceFormat& f, const double* in, icFloatNumber* out) {
    icFromLcms(f.encoding, f.channels, in, out);
}

// Device links and named colours are no step of a profile-to-profile chain;
// an abstract profile is a PCS-to-PCS step at either end.
bool IsSupportedClass(cmsProfileClassSignature cls) {
    return cls == cmsSigInputClass || cls == cmsSigDisplayClass || cls == cmsSigOutputClass ||
           cls == cmsSigColorSpaceClass || cls == cmsSigAbstractClass;
}

// The colour space at the end of the chain, followed step by step as Little
// CMS links it.
cmsColorSpaceSignature ChainOutputSpace(const std::vector<cmsHPROFILE>& profiles) {
    cmsColorSpaceSignature current = cmsGetColorSpace(profiles.front());
    for (size_t i = 0; i < profiles.size(); ++i)
        current = icLcmsStepOutputSpace(static_cast<cmsUInt32Number>(i), current, profiles[i]);
    return current;
}

} // namespace

namespace {

// Little CMS numbers a release major * 1000 + minor * 10 + patch.
std::string VersionText(int encoded) {
    std::string text = std::to_string(encoded / 1000) + "." + std::to_string(encoded / 10 % 100);
    if (encoded % 10 != 0)
        text += "." + std::to_string(encoded % 10);
    return text;
}

} // namespace

std::string icLibraryVersion() {
    return VersionText(cmsGetEncodedCMMversion());
}

std::string icCompiledLibraryVersion() {
    return VersionText(LCMS_VERSION);
}

bool icExactFastPathAvailable() {
    return icLcmsInternalsMatch();
}

// As Little CMS counts the channels of the spaces it knows.
int icGetSpaceSamples(icColorSpaceSignature sig) {
    switch (sig) {
    case icSigGrayData:
        return 1;
    case icSigXYZData:
    case icSigLabData:
    case icSigLuvData:
    case icSigYCbCrData:
    case icSigYxyData:
    case icSigRgbData:
    case icSigHsvData:
    case icSigHlsData:
    case icSigCmyData:
        return 3;
    case icSig('L', 'u', 'v', 'K'):
    case icSigCmykData:
        return 4;
    default:
        break;
    }
    // 'MCH1' to 'MCHF' and '1CLR' to 'FCLR': the count as one hexadecimal digit.
    const bool mch = (sig >> 8) == icSig('\0', 'M', 'C', 'H');
    const bool clr = (sig & 0xFFFFFF) == icSig('\0', 'C', 'L', 'R');
    const char digit = mch ? char(sig & 0xFF) : clr ? char(sig >> 24) : '\0';
    const int n = digit >= '1' && digit <= '9'   ? digit - '0'
                  : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10
                                                 : 0;
    return n <= icMaxChannels ? n : 0;
}

struct CIccCmm::Impl {
    struct Step {
        ProfilePtr profile;
        cmsUInt32Number intent;
    };
    std::vector<Step> steps;
    TransformPtr transform;
    PipelinePtr link; // the stages the transform evaluates, for a fast evaluator
    SpaceFormat src, dst;
    icColorSpaceSignature srcSpace = icSigUnknownData;
    icColorSpaceSignature dstSpace = icSigUnknownData;
    icRenderingIntent intent = icUnknownIntent;
    bool blackPointCompensation = false;
};

CIccCmm::CIccCmm() : m_pImpl(new Impl) {}

CIccCmm::~CIccCmm() = default;

icStatusCMM CIccCmm::AddXform(const char* szProfilePath, icRenderingIntent nIntent) {
    if (!szProfilePath)
        return icCmmStatCantOpenProfile;
    // Read by the layer itself, so that a pipe or a device given as a profile
    // is refused instead of blocking the conversion.
    std::vector<unsigned char> bytes;
    if (!ReadRegularFile(szProfilePath, bytes, icMaxProfileBytes))
        return icCmmStatCantOpenProfile;
    return AddXform(bytes.data(), bytes.size(), nIntent);
}

icStatusCMM CIccCmm::AddXform(const unsigned char* pProfileData, size_t nSize,
                              icRenderingIntent nIntent) {
    if (!pProfileData || nSize == 0 || nSize > icMaxProfileBytes)
        return icCmmStatCantOpenProfile;
    // A profile shorter than its header says was cut short: Little CMS opens
    // one whose missing bytes no tag it reads needs, and the copy embedded in
    // the images would be the damaged file.
    if (nSize < 4 || (uint32_t(pProfileData[0]) << 24 | uint32_t(pProfileData[1]) << 16 |
                      uint32_t(pProfileData[2]) << 8 | pProfileData[3]) > nSize)
        return icCmmStatCantOpenProfile;
    cmsContext ctx = icLcmsContext();
    if (!ctx)
        return icCmmStatAllocErr;
    return AddProfile(
        cmsOpenProfileFromMemTHR(ctx, pProfileData, static_cast<cmsUInt32Number>(nSize)), nIntent);
}

icStatusCMM CIccCmm::AddProfile(void* hProfile, icRenderingIntent nIntent) {
    ProfilePtr profile(hProfile);
    if (!profile)
        return icCmmStatCantOpenProfile;
    if (m_pImpl->transform)
        return icCmmStatBadXform;
    if (!IsSupportedClass(cmsGetDeviceClass(profile.get())))
        return icCmmStatBadSpaceLink;
    SpaceFormat f;
    if (!DescribeSpace(cmsGetColorSpace(profile.get()), f) ||
        !DescribeSpace(cmsGetPCS(profile.get()), f))
        return icCmmStatInvalidProfile;

    cmsUInt32Number intent = nIntent;
    if (nIntent == icUnknownIntent) {
        intent = m_pImpl->steps.empty() ? cmsGetHeaderRenderingIntent(profile.get())
                                        : m_pImpl->steps.back().intent;
    }
    if (intent > icAbsoluteColorimetric)
        return icCmmStatInvalidProfile;
    m_pImpl->steps.push_back({std::move(profile), intent});
    return icCmmStatOk;
}

void CIccCmm::SetBlackPointCompensation(bool bOn) {
    m_pImpl->blackPointCompensation = bOn;
}

icStatusCMM CIccCmm::Begin() {
    Impl& d = *m_pImpl;
    if (d.steps.empty() || d.transform)
        return icCmmStatBadXform;

    const cmsUInt32Number n = static_cast<cmsUInt32Number>(d.steps.size());
    std::vector<cmsHPROFILE> profiles;
    std::vector<cmsBool> bpc(n, d.blackPointCompensation ? TRUE : FALSE);
    std::vector<cmsUInt32Number> intents;
    std::vector<cmsFloat64Number> adaptation(n, 1.0);
    for (const Impl::Step& s : d.steps) {
        profiles.push_back(s.profile.get());
        intents.push_back(s.intent);
    }
    d.srcSpace = cmsGetColorSpace(profiles.front());
    d.dstSpace = ChainOutputSpace(profiles);
    if (!DescribeSpace(d.srcSpace, d.src) || !DescribeSpace(d.dstSpace, d.dst))
        return icCmmStatBadSpaceLink;

    // With floating-point formats Little CMS precalculates no device link and
    // caches nothing: every pixel goes through the profiles' own curves,
    // matrices and tables, linked by the layer's intent plug-in.
    const cmsUInt32Number flags =
        cmsFLAGS_NOCACHE | (d.blackPointCompensation ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0);
    cmsPipeline* link = nullptr;
    icLcmsCapturePipeline(&link);
    d.transform.reset(cmsCreateExtendedTransform(icLcmsContext(), n, profiles.data(), bpc.data(),
                                                 intents.data(), adaptation.data(), nullptr, 0,
                                                 d.src.format, d.dst.format, flags));
    icLcmsCapturePipeline(nullptr);
    d.link.reset(link);
    if (!d.transform)
        return icCmmStatBadXform;
    d.intent = d.steps.front().intent;
    return icCmmStatOk;
}

icStatusCMM CIccCmm::Apply(icFloatNumber* DstPixel, const icFloatNumber* SrcPixel) const {
    if (!m_pImpl->transform)
        return icCmmStatIncorrectApply;
    double in[icMaxChannels];
    double out[icMaxChannels];
    ToLcms(m_pImpl->src, SrcPixel, in);
    cmsDoTransform(m_pImpl->transform.get(), in, out, 1);
    FromLcms(m_pImpl->dst, out, DstPixel);
    return icCmmStatOk;
}

icStatusCMM CIccCmm::Apply(icFloatNumber* DstPixels, const icFloatNumber* SrcPixels,
                           icUInt32Number nPixels) const {
    const Impl& d = *m_pImpl;
    if (!d.transform)
        return icCmmStatIncorrectApply;
    // Works through stack buffers in chunks, so several threads may convert
    // with one transform at the same time.
    constexpr icUInt32Number kChunk = 128;
    double in[kChunk * icMaxChannels];
    double out[kChunk * icMaxChannels];
    const size_t ns = static_cast<size_t>(d.src.channels);
    const size_t nd = static_cast<size_t>(d.dst.channels);
    for (icUInt32Number done = 0; done < nPixels;) {
        const icUInt32Number n = std::min(kChunk, nPixels - done);
        for (size_t i = 0; i < n; ++i)
            ToLcms(d.src, SrcPixels + (done + i) * ns, in + i * ns);
        cmsDoTransform(d.transform.get(), in, out, n);
        for (size_t i = 0; i < n; ++i)
            FromLcms(d.dst, out + i * nd, DstPixels + (done + i) * nd);
        done += n;
    }
    return icCmmStatOk;
}

std::unique_ptr<CIccFastEval> CIccCmm::MakeFastEval(const icFloatNumber* levels,
                                                    IccByteEncoder encoder) const {
    IccFastEvalEnds ends;
    ends.levels = levels;
    ends.bytes = encoder;
    return MakeFastEval(ends);
}

std::unique_ptr<CIccFastEval> CIccCmm::MakeFastEval(const IccFastEvalEnds& ends) const {
    const Impl& d = *m_pImpl;
    if (!d.transform || !d.link)
        return nullptr;
    std::unique_ptr<CIccFastEval> eval = icBuildFastEval(
        d.link.get(), d.src.encoding, d.src.channels, d.dst.encoding, d.dst.channels, ends);
    // A disagreement on any sample means the evaluator does not know this
    // link (or this library) as well as it thinks: Little CMS alone serves.
    const auto apply = [this](icFloatNumber* out, const icFloatNumber* in) { Apply(out, in); };
    if (!eval || !icFastEvalAgrees(*eval, ends, d.src.channels, d.dst.channels, apply))
        return nullptr;
    return eval;
}

icColorSpaceSignature CIccCmm::GetSourceSpace() const {
    return m_pImpl->srcSpace;
}
icColorSpaceSignature CIccCmm::GetDestSpace() const {
    return m_pImpl->dstSpace;
}

std::vector<std::string> CIccCmm::GetDestColorantNames() const {
    std::vector<std::string> names;
    if (m_pImpl->steps.empty())
        return names;
    void* profile = m_pImpl->steps.back().profile.get();
    const auto* table =
        static_cast<cmsNAMEDCOLORLIST*>(cmsReadTag(profile, cmsSigColorantTableTag));
    const int count = table ? int(cmsNamedColorCount(table)) : 0;
    if (count != icGetSpaceSamples(cmsGetColorSpace(profile)))
        return names;
    for (int i = 0; i < count; ++i) {
        char name[cmsMAX_PATH] = "";
        if (!cmsNamedColorInfo(table, cmsUInt32Number(i), name, nullptr, nullptr, nullptr, nullptr))
            return {};
        names.emplace_back(name);
    }
    return names;
}

int CIccCmm::GetSourceSamples() const {
    return m_pImpl->src.channels;
}
int CIccCmm::GetDestSamples() const {
    return m_pImpl->dst.channels;
}
icRenderingIntent CIccCmm::GetIntent() const {
    return m_pImpl->intent;
}
