// Fuzz target: any bytes as an ICC profile, read from a file as the source of a transform,
// given in memory as its destination, and alone (a device link or an abstract profile). Every
// transform that begins converts black, white and pixels taken from the input, in one batch
// and one by one, which must agree: the row path and the plain path write the same bytes.
#include <cstring>

#include "Fuzz.h"
#include "IccCmm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ts::Scratch dir;
    static const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb);
    const std::string path = fuzz::AsFile(data, size, "in.icc");
    const auto intent = icRenderingIntent(size ? data[size - 1] % 4 : 0);
    for (int way = 0; way < 3; ++way) {
        CIccCmm cmm;
        const bool added = way == 0 ? cmm.AddXform(path.c_str()) == icCmmStatOk &&
                                          cmm.AddXform(srgb.c_str(), intent) == icCmmStatOk
                           : way == 1 ? cmm.AddXform(srgb.c_str(), intent) == icCmmStatOk &&
                                            cmm.AddXform(data, size) == icCmmStatOk
                                      : cmm.AddXform(path.c_str(), intent) == icCmmStatOk;
        if (!added || cmm.Begin() != icCmmStatOk)
            continue;
        const int in = cmm.GetSourceSamples(), out = cmm.GetDestSamples();
        if (in < 1 || in > icMaxChannels || out < 1 || out > icMaxChannels)
            fuzz::Fail("a transform began with more channels than the colour layer holds");
        icFloatNumber pixels[6 * icMaxChannels], batch[6 * icMaxChannels], one[icMaxChannels];
        for (int i = 0; i < 6 * in; ++i)
            pixels[i] = i < in ? 0 : i < 2 * in ? 1 : data[size_t(i) * 7919 % size] / 255.0;
        if (cmm.Apply(batch, pixels, 6) != icCmmStatOk)
            fuzz::Fail("a transform that began refused to convert");
        for (int p = 0; p < 6; ++p)
            if (cmm.Apply(one, pixels + p * in) != icCmmStatOk ||
                memcmp(one, batch + p * out, sizeof(icFloatNumber) * size_t(out)) != 0)
                fuzz::Fail("one pixel and a batch of pixels convert differently");
    }
    return 0;
}
