// The fast evaluator against the transform itself on every colour of the
// 8-bit RGB cube and on a CMYK grid. Labelled slow: some seconds a pair.
// CHROMAPORT_CUBE_STEP=N walks every N-th level instead, as the sanitizer
// build does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "IccCmm.h"
#include "IccFastEval.h"
#include "ProfileFixtures.h"

namespace {

std::vector<icFloatNumber> Levels(int channels) {
    std::vector<icFloatNumber> levels(size_t(channels) * 256);
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] = static_cast<icFloatNumber>(i % 256) / 255.0;
    return levels;
}

// Walks every level combination whose levels are multiples of `step` (and
// 255), counting those where the evaluator's values differ from Apply's.
uint64_t Disagreements(const CIccCmm& cmm, const CIccFastEval& eval,
                       const std::vector<icFloatNumber>& levels, int channels, int step) {
    std::vector<int> grid;
    for (int k = 0; k < 256; k += step)
        grid.push_back(k);
    if (grid.back() != 255)
        grid.push_back(255);
    std::vector<size_t> at(size_t(channels), 0);
    uint64_t differ = 0;
    for (;;) {
        unsigned char pixel[icMaxChannels];
        icFloatNumber in[icMaxChannels], want[icMaxChannels], got[icMaxChannels];
        for (int c = 0; c < channels; ++c) {
            pixel[c] = static_cast<unsigned char>(grid[at[c]]);
            in[c] = levels[size_t(c) * 256 + pixel[c]];
        }
        cmm.Apply(want, in);
        eval.Apply(pixel, got);
        differ += memcmp(want, got, sizeof(icFloatNumber) * size_t(cmm.GetDestSamples())) != 0;
        int c = 0;
        while (c < channels && ++at[size_t(c)] == grid.size())
            at[size_t(c++)] = 0;
        if (c == channels)
            return differ;
    }
}

int StepOverride() {
    const char* text = std::getenv("CHROMAPORT_CUBE_STEP");
    return text ? std::max(1, std::atoi(text)) : 1;
}

} // namespace

TEST(FastEvalCube, AgreesWithTheTransformOnEveryColour) {
    struct Case {
        const char* from;
        const char* to;
        icRenderingIntent intent;
        int step;
    } cases[] = {
        {"sRGB.icc", "ghostscript/default_cmyk.icc", icRelativeColorimetric, 1},
        {"sRGB.icc", "ghostscript/default_cmyk.icc", icPerceptual, 1},
        {"sRGB.icc", "compatibleWithAdobeRGB1998.icc", icRelativeColorimetric, 1},
        {"colord/sRGB.icc", "ghostscript/ps_cmyk.icc", icRelativeColorimetric, 1},
        {"ghostscript/default_cmyk.icc", "sRGB.icc", icPerceptual, 5},
        {"ghostscript/ps_cmyk.icc", "colord/sRGB.icc", icRelativeColorimetric, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        if (!fx::SystemProfileExists(c.from) || !fx::SystemProfileExists(c.to))
            GTEST_SKIP() << "system profiles missing";
        CIccCmm cmm;
        ASSERT_EQ(cmm.AddXform(fx::SystemProfile(c.from).c_str(), c.intent), icCmmStatOk);
        ASSERT_EQ(cmm.AddXform(fx::SystemProfile(c.to).c_str()), icCmmStatOk);
        ASSERT_EQ(cmm.Begin(), icCmmStatOk);
        const auto levels = Levels(cmm.GetSourceSamples());
        const auto eval = cmm.MakeFastEval(levels.data());
        ASSERT_NE(eval, nullptr);
        const int step = std::max(c.step, StepOverride());
        EXPECT_EQ(Disagreements(cmm, *eval, levels, cmm.GetSourceSamples(), step), 0u);
    }
}
