// Fuzz target: any bytes as an ICC profile: read from a file as the source
// of a transform, given in memory as its destination, and from a file alone;
// each transform that begins converts a few pixels.

#include <cstdint>
#include <cstring>

#include "FuzzProfiles.h"
#include "FuzzSupport.h"
#include "IccCmm.h"

namespace {

constexpr int kPixels = 6;

// Black, white, mid grey, then values taken from the input's last bytes.
void FillPixels(int channels, const uint8_t* data, size_t size, icFloatNumber* pixels) {
    for (int p = 0; p < kPixels; ++p) {
        for (int c = 0; c < channels; ++c) {
            icFloatNumber v = p == 0 ? 0.0 : p == 1 ? 1.0 : 0.5;
            if (p > 2 && size > 0)
                v = data[size - 1 - (size_t(p * channels + c) % size)] / 255.0;
            pixels[p * channels + c] = v;
        }
    }
}

void ApplySome(const CIccCmm& cmm, const uint8_t* data, size_t size) {
    const int ns = cmm.GetSourceSamples();
    const int nd = cmm.GetDestSamples();
    if (ns < 1 || ns > icMaxChannels || nd < 1 || nd > icMaxChannels)
        fuzz::Fail("a transform began with a channel count the layer cannot hold");
    icFloatNumber in[kPixels * icMaxChannels];
    icFloatNumber out[kPixels * icMaxChannels];
    icFloatNumber one[icMaxChannels];
    FillPixels(ns, data, size, in);
    if (cmm.Apply(out, in, kPixels) != icCmmStatOk)
        fuzz::Fail("a begun transform refused to convert");
    // The row path converts many pixels at once, the plain path one by one;
    // both must write the same values.
    for (int p = 0; p < kPixels; ++p) {
        cmm.Apply(one, in + p * ns);
        if (memcmp(one, out + p * nd, sizeof(icFloatNumber) * size_t(nd)) != 0)
            fuzz::Fail("one pixel and a batch of pixels convert differently");
    }
}

void BeginAndApply(CIccCmm& cmm, const uint8_t* data, size_t size) {
    if (cmm.Begin() == icCmmStatOk)
        ApplySome(cmm, data, size);
}

// The fuzzed profile read from its file, first or alone.
void TryAsFile(const std::string& path, icRenderingIntent intent, const std::string* partner,
               const uint8_t* data, size_t size) {
    CIccCmm cmm;
    if (cmm.AddXform(path.c_str(), intent) != icCmmStatOk)
        return;
    if (partner && cmm.AddXform(partner->c_str()) != icCmmStatOk)
        return;
    BeginAndApply(cmm, data, size);
}

// The fuzzed profile as a destination given in memory, the way a
// conversion that embeds its destination profile builds its transform.
void TryAsDestinationBytes(const std::string& source, icRenderingIntent intent, const uint8_t* data,
                           size_t size) {
    CIccCmm cmm;
    if (cmm.AddXform(source.c_str(), intent) != icCmmStatOk)
        fuzz::Fail("the partner profile was refused");
    if (cmm.AddXform(data, size) != icCmmStatOk)
        return;
    BeginAndApply(cmm, data, size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    static fuzz::ScratchFile input(".icc");
    const fuzz::ProfileSet& profiles = fuzz::Profiles();
    if (!input.Write(data, size))
        return 0;
    // The last byte picks the intent of the transforms that do not take the
    // fuzzed profile's own header intent.
    const icRenderingIntent intent = size > 0 ? data[size - 1] % 4 : icUnknownIntent;
    TryAsFile(input.path(), icUnknownIntent, &profiles.srgb, data, size);
    TryAsDestinationBytes(profiles.srgb, intent, data, size);
    TryAsFile(input.path(), intent, nullptr, data, size);
    return 0;
}
