#pragma once
// The colour transform: profiles are added one step at a time by path, the
// first in the input direction and the rest in the output direction; Begin
// links them, and Apply converts pixels in the ICC float conventions:
// device values 0..1, Lab as L*/100, (a*+128)/255, (b*+128)/255, and XYZ
// scaled by 32768/65535.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "IccDefs.h"
#include "IccFastEval.h"

class CIccCmm {
public:
    CIccCmm();
    ~CIccCmm();
    CIccCmm(const CIccCmm&) = delete;
    CIccCmm& operator=(const CIccCmm&) = delete;

    // Reads the profile at the path and appends it as the next step.
    // icUnknownIntent takes the source profile's header intent for the first
    // step and the previous step's intent for later ones.
    icStatusCMM AddXform(const char* szProfilePath, icRenderingIntent nIntent = icUnknownIntent);
    // The same for a profile already in memory; the bytes are copied.
    icStatusCMM AddXform(const unsigned char* pProfileData, size_t nSize,
                         icRenderingIntent nIntent = icUnknownIntent);
    // Black-point compensation (ISO 18619) as Little CMS computes it, for
    // every step but absolute colorimetric ones; off unless asked for before
    // Begin.
    void SetBlackPointCompensation(bool bOn);
    // Links the steps; Apply may be called once this returned icCmmStatOk.
    icStatusCMM Begin();

    // Converts one pixel; dst and src may be the same buffer. Once begun, a
    // transform may be applied from several threads at once.
    icStatusCMM Apply(icFloatNumber* DstPixel, const icFloatNumber* SrcPixel) const;
    // Converts nPixels interleaved pixels; each gives exactly the values a
    // single-pixel Apply would. dst and src may be the same buffer only when
    // both ends have the same number of channels.
    icStatusCMM Apply(icFloatNumber* DstPixels, const icFloatNumber* SrcPixels,
                      icUInt32Number nPixels) const;

    // A faster evaluator of this begun transform for pixels of the ends'
    // shape (IccFastEval.h), checked on a sample to give exactly what Apply
    // gives; null when none can be made (the link has no evaluator, or the
    // check failed). Each channel's value must depend on its own level alone.
    std::unique_ptr<CIccFastEval> MakeFastEval(const IccFastEvalEnds& ends) const;
    // The same for 8-bit pixels: levels[c * 256 + k] is the value Apply
    // receives for level k of channel c; with an encoder it also gives bytes.
    std::unique_ptr<CIccFastEval> MakeFastEval(const icFloatNumber* levels,
                                               IccByteEncoder encoder = nullptr) const;

    icColorSpaceSignature GetSourceSpace() const;
    icColorSpaceSignature GetDestSpace() const;
    // The names of the last profile's channels, from its colorant table;
    // empty when it has none, or not one name for each channel.
    std::vector<std::string> GetDestColorantNames() const;
    int GetSourceSamples() const;
    int GetDestSamples() const;
    // The intent every step uses once the transform has begun.
    icRenderingIntent GetIntent() const;

private:
    icStatusCMM AddProfile(void* hProfile, icRenderingIntent nIntent);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// The Little CMS release in use ("2.14", "2.13.1"), and the one the layer
// was compiled against.
std::string icLibraryVersion();
std::string icCompiledLibraryVersion();
// Whether the exact fast evaluator can be made with the library in use; when
// it cannot, every colour is computed through Little CMS, with the same
// results, more slowly.
bool icExactFastPathAvailable();

// The largest profile file the layer reads.
constexpr size_t icMaxProfileBytes = size_t(256) << 20;

// Channels of a colour space, or 0 when the layer does not know the space.
int icGetSpaceSamples(icColorSpaceSignature sig);
