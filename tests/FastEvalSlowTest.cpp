// The fast evaluator against the transform itself on every colour of the 8-bit RGB cube and
// on a CMYK grid: its values must be the transform's, bit for bit, where its own check looks
// at a sample only. Some seconds a pair; CHROMAPORT_CUBE_STEP=N walks every N-th level
// instead, as the sanitizer build does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "IccCmm.h"
#include "IccFastEval.h"
#include "RequireProfile.h"
#include "Support.h"

static unsigned char Encode(int, icFloatNumber v) {
    return static_cast<unsigned char>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0));
}

TEST(FastEvalCube, AgreesWithTheTransformOnEveryColour) {
    const char* sampled = std::getenv("CHROMAPORT_CUBE_STEP");
    const std::string rgb = "sRGB.icc", cmyk = "ghostscript/default_cmyk.icc";
    const std::string rgb4 = "colord/sRGB.icc", cmyk4 = "ghostscript/ps_cmyk.icc";
    const icRenderingIntent rel = icRelativeColorimetric, per = icPerceptual;
    // The perceptual pairs go onto the version 4 medium and off it again.
    const std::tuple<std::string, std::string, icRenderingIntent, int> cases[] = {
        {rgb, cmyk, rel, 1},   {rgb, cmyk, per, 1}, {rgb, "compatibleWithAdobeRGB1998.icc", rel, 1},
        {rgb4, cmyk4, rel, 1}, {cmyk, rgb, per, 5}, {cmyk4, rgb4, rel, 5},
    };
    std::vector<icFloatNumber> levels(4 * 256);
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] = icFloatNumber(i % 256) / 255.0;
    for (const auto& [from, to, intent, least] : cases) {
        SCOPED_TRACE(from + " -> " + to);
        CIccCmm cmm;
        ASSERT_EQ(cmm.AddXform(ts::RequireProfile(from).c_str(), intent), icCmmStatOk);
        ASSERT_EQ(cmm.AddXform(ts::RequireProfile(to).c_str()), icCmmStatOk);
        ASSERT_EQ(cmm.Begin(), icCmmStatOk);
        // Any encoder that works channel by channel lets the byte tables and the batched
        // path be checked too: their bytes must be the encoder's of the transform's values.
        const auto eval = cmm.MakeFastEval(levels.data(), Encode);
        ASSERT_TRUE(eval);
        const int in = cmm.GetSourceSamples(), out = cmm.GetDestSamples();
        const int step = std::max(least, sampled ? std::atoi(sampled) : 1);
        uint64_t differ = 0;
        std::vector<std::array<unsigned char, icMaxChannels>> batch, bytes;
        const auto check = [&] {
            std::vector<const unsigned char*> from;
            std::vector<unsigned char*> to;
            bytes.resize(batch.size());
            for (size_t i = 0; i < batch.size(); ++i)
                from.push_back(batch[i].data()), to.push_back(bytes[i].data());
            eval->ApplyBytes(from.data(), to.data(), unsigned(batch.size()));
            for (size_t i = 0; i < batch.size(); ++i) {
                icFloatNumber v[icMaxChannels], want[icMaxChannels], got[icMaxChannels];
                for (int k = 0; k < in; ++k)
                    v[k] = levels[batch[i][k]];
                cmm.Apply(want, v);
                eval->Apply(batch[i].data(), got);
                differ += std::memcmp(want, got, sizeof(icFloatNumber) * size_t(out)) != 0;
                for (int k = 0; k < out; ++k)
                    differ += bytes[i][k] != Encode(k, want[k]);
            }
            batch.clear();
        };
        std::array<unsigned char, icMaxChannels> at = {};
        for (int more = 1; more;) {
            batch.push_back(at);
            if (batch.size() == 251)
                check();
            // The next combination of levels that are multiples of the step, and 255.
            more = 0;
            for (int k = 0; k < in && !more; ++k)
                more = at[k] = at[k] == 255 ? 0 : std::min(255, at[k] + step);
        }
        check();
        EXPECT_EQ(differ, 0u);
    }
}
