// The colour layer: the values a transform must give, the intents it picks, the colour
// spaces it connects and the profiles it refuses.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>

#include "IccCmm.h"
#include "IccFastEval.h"
#include "IccFastLab.h"
#include "IccParallel.h"
#include "RequireProfile.h"
#include "Support.h"

namespace {

std::unique_ptr<CIccCmm> Begun(const std::string& from, const std::string& to,
                               icRenderingIntent intent = icRelativeColorimetric) {
    auto cmm = std::make_unique<CIccCmm>();
    if (cmm->AddXform(from.c_str(), intent) != icCmmStatOk ||
        cmm->AddXform(to.c_str()) != icCmmStatOk || cmm->Begin() != icCmmStatOk)
        return nullptr;
    return cmm;
}

// A 2-point table of an input profile: L*, a*, b* are 100 at the corners given (the first
// input is the highest bit of a corner's number) and 0 at the others.
ts::TableProfile Corners(int inputs, int l, int a, int b1, int b2) {
    ts::TableProfile t;
    t.deviceClass = 0x73636E72, t.space = inputs == 3 ? icSigRgbData : icSigCmykData;
    t.channels = inputs, t.grid = 2;
    t.toLab = {[=](const double* in, double* lab) {
        int corner = 0;
        for (int i = 0; i < inputs; ++i)
            corner = corner * 2 + (in[i] > 0.5);
        lab[0] = corner == l ? 100 : 0, lab[1] = corner == a ? 100 : 0;
        lab[2] = corner == b1 || corner == b2 ? 100 : 0;
    }};
    return t;
}

} // namespace

// Values as they are written down: device levels 0..255, real L*a*b*, and XYZ as the layer
// encodes it (white's Y is 32768/65535).
TEST(Colour, TransformsGiveTheValuesTheyMust) {
    ts::Scratch dir;
    const std::string srgbFree = ts::RequireProfile("sRGB.icc"), gs = "ghostscript/";
    const std::string srgbV4 = ts::RequireProfile("colord/sRGB.icc");
    const std::string gsCmyk = ts::RequireProfile(gs + "default_cmyk.icc"); // v2, Lab PCS
    const std::string psCmyk = ts::RequireProfile(gs + "ps_cmyk.icc");      // v4, XYZ PCS
    const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb);
    const std::string lab = ts::MakeProfile(dir.path(), ts::Builtin::Lab4); // abstract identity
    const std::string xyz = ts::MakeProfile(dir.path(), ts::Builtin::Xyz);
    const std::string abstract = ts::MakeProfile(dir.path(), ts::Builtin::Abstract); // L* + 10
    const std::string rgbCorners = ts::MakeProfile(dir.path(), Corners(3, 7, 4, 2, 1), "3.icc");
    const std::string cmykCorners = ts::MakeProfile(dir.path(), Corners(4, 15, 8, 1, 14), "4.icc");
    const std::string intents = ts::MakeProfile(dir.path(), ts::IntentTables(), "i.icc");
    // The Lab identity with tables for every intent as Debian ships it (version 2), and the
    // same bytes marked version 4.
    const std::string v2 = ts::RequireProfile("LCMSLABI.ICM"), v4 = dir.file("v4.icc");
    ts::Bytes bytes = ts::ReadBytes(v2);
    bytes[8] = 4, bytes[9] = 0x30;
    ASSERT_TRUE(ts::WriteBytes(v4, bytes));
    const icRenderingIntent per = icPerceptual, rel = icRelativeColorimetric, sat = icSaturation;
    struct Case {
        std::string from, to;
        icRenderingIntent intent;
        std::vector<double> in, want;
        double tolerance;
    };
    std::vector<Case> cases = {
        // What the ICC reference CMM gives; one level off is rounding. No black point
        // compensation, whatever the intent and the versions: the saturation tables are the
        // perceptual ones there, and Little CMS's compensation would make black 0, 0, 0.
        {gsCmyk, srgbV4, per, {255, 255, 255, 255}, {32, 31, 31}, 1.5},
        {gsCmyk, srgbV4, sat, {255, 255, 255, 255}, {32, 31, 31}, 1.5},
        {gsCmyk, srgbV4, per, {0, 0, 0, 255}, {55, 53, 53}, 1.5},
        {psCmyk, srgbFree, rel, {37, 140, 201, 12}, {251, 170, 112}, 1.5},
        {srgbV4, psCmyk, rel, {200, 100, 50}, {140, 214, 241, 0}, 1.5},
        {gsCmyk, srgbFree, rel, {30, 60, 90, 120}, {139, 123, 108}, 1.5},
        // The perceptual intent puts version 2 steps on the version 4 medium, whose black is
        // XYZ 0.00336, 0.0034731, 0.00287 (L* 3.1372, a* 0.0454, b* -0.0095), and back.
        {v2, v4, per, {0, 0, 0}, {3.1372, 0.0454, -0.0095}, 0.01},
        {v2, v4, per, {30, 20, -40}, {30.7872, 19.3659, -39.1540}, 0.01},
        {v4, v2, per, {3.1372, 0.0454, -0.0095}, {0, 0, 0}, 0.01},
        {v2, v4, rel, {0, 0, 0}, {0, 0, 0}, 0.01},
        {v2, v2, per, {0, 0, 0}, {0, 0, 0}, 0.01},
        // Tables are interpolated linearly: every corner of the cell weighs in (1/8 of a
        // corner at the middle of a cube, where tetrahedral interpolation gives 1/2).
        {rgbCorners, lab, rel, {127.5, 127.5, 127.5}, {12.5, 12.5, 25}, 0.02},
        {rgbCorners, lab, rel, {63.75, 127.5, 191.25}, {9.375, 3.125, 37.5}, 0.02},
        {cmykCorners, lab, rel, {63.75, 127.5, 191.25, 127.5}, {4.6875, 1.5625, 9.375}, 0.02},
        // Abstract profiles serve at either end; Lab white is D50 in XYZ (0.9642, 1, 0.8249),
        // which the layer encodes times 32768/65535.
        {abstract, lab, rel, {50, 10, -20}, {60, 10, -20}, 0.5},
        {lab, abstract, rel, {50, 10, -20}, {60, 10, -20}, 0.5},
        {lab, xyz, rel, {100, 0, 0}, {0.48211, 0.50001, 0.41246}, 1e-4},
        // Unknown takes the source header's intent, and later steps the first step's intent.
        {intents, srgb, icUnknownIntent, {230, 128, 26}, {128, 26, 230}, 8},
        {intents, srgb, rel, {230, 128, 26}, {26, 128, 230}, 8},
        {srgb, intents, rel, {230, 128, 26}, {26, 128, 230}, 8},
        {srgb, intents, sat, {230, 128, 26}, {26, 230, 128}, 8},
    };
    // Any data space of 1 to 15 channels, here grey of L* 100 x (1 - the channels' mean),
    // crosses as 0..1 whatever Little CMS uses inside: sRGB's grey 50% is L* 53.39.
    for (int n = 1; n <= 15; ++n) {
        ts::TableProfile t;
        t.space = n == 1 ? icSigGrayData : icSig("0123456789ABCDEF"[n], 'C', 'L', 'R');
        t.channels = n, t.grid = 2;
        t.toLab = {[n](const double* in, double* out) {
            out[0] = 100 * (1 - std::accumulate(in, in + n, 0.0) / n), out[1] = out[2] = 0;
        }};
        t.fromLab = {[n](const double* in, double* out) { std::fill_n(out, n, 1 - in[0] / 100); }};
        const std::string inks = ts::MakeProfile(dir.path(), t, std::to_string(n) + ".c");
        cases.push_back({srgb, inks, rel, {127.5, 127.5, 127.5}, std::vector<double>(n, 118.8), 1});
        cases.push_back({inks, srgb, rel, std::vector<double>(n, 118.8), {127.5, 127.5, 127.5}, 1});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::make_tuple(c.from, c.to, c.intent, c.in)));
        const auto cmm = Begun(c.from, c.to, c.intent);
        ASSERT_TRUE(cmm);
        const bool labIn = cmm->GetSourceSpace() == icSigLabData;
        const icColorSpaceSignature out = cmm->GetDestSpace();
        double v[icMaxChannels];
        for (size_t i = 0; i < c.in.size(); ++i)
            v[i] = labIn && i ? (c.in[i] + 128) / 255 : c.in[i] / (labIn ? 100 : 255);
        cmm->Apply(v, v);
        ASSERT_EQ(size_t(cmm->GetDestSamples()), c.want.size());
        for (size_t i = 0; i < c.want.size(); ++i) {
            const double scale = out == icSigXYZData ? 1 : out != icSigLabData || i ? 255 : 100;
            EXPECT_NEAR(v[i] * scale - (out == icSigLabData && i ? 128 : 0), c.want[i],
                        c.tolerance);
        }
    }
}

TEST(Colour, ProfilesThatCannotServeAreRefused) {
    ts::Scratch dir;
    const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb), fifo = dir.file("p");
    const std::string link = ts::MakeProfile(dir.path(), ts::Builtin::DeviceLink);
    const std::string named = ts::RequireProfile("colord/Crayons.icc");
    const std::string gone = dir.file("gone"), text = dir.file("text"), folder = dir.path();
    ts::TableProfile scanner = ts::InkTables(4);
    scanner.deviceClass = 0x73636E72, scanner.fromLab.clear();
    const std::string input = ts::MakeProfile(dir.path(), scanner, "input.icc");
    ASSERT_TRUE(ts::WriteBytes(text, {'n', 'o', 't'}));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0); // refused at once, not waited on
    const std::pair<std::string, std::string> refused[] = {
        {gone, srgb}, {srgb, gone}, {srgb, text}, {text, srgb},  {folder, srgb}, {fifo, srgb},
        {srgb, fifo}, {link, srgb}, {srgb, link}, {named, srgb}, {srgb, named},  {srgb, input},
    };
    for (const auto& [from, to] : refused)
        EXPECT_FALSE(Begun(from, to)) << from << " -> " << to;
    EXPECT_TRUE(Begun(input, srgb)); // an input profile serves as a source
}

// The fast evaluator checks itself against the transform when it is made (a batch of colours
// at once) and is not handed out on any disagreement, after which every colour goes the slow
// way: right, but unnoticed by the image tests. So each common kind of stage list must get
// one, and its bytes must be the encoder's of the transform's values, one colour at a time
// and in a batch whose last group of lanes is partly filled.
TEST(Colour, TheFastEvaluatorServesTheCommonPairs) {
    ts::Scratch dir;
    const std::string srgb = ts::RequireProfile("sRGB.icc");
    const std::string lab = ts::RequireProfile("LCMSLABI.ICM");
    const std::string cmyk = ts::RequireProfile("ghostscript/default_cmyk.icc");
    const std::string cases[][2] = {
        {srgb, cmyk},
        {cmyk, srgb},
        {lab, srgb},
        {srgb, lab},
        {lab, cmyk},
        {ts::RequireProfile("colord/sRGB.icc"), ts::RequireProfile("ghostscript/ps_cmyk.icc")},
        {srgb, ts::RequireProfile("compatibleWithAdobeRGB1998.icc")},
        // A table of three outputs last.
        {srgb, ts::MakeProfile(dir.path(), ts::IntentTables(), "rgb-tables.icc")}};
    const IccByteEncoder bytes = [](int, icFloatNumber v) {
        return static_cast<unsigned char>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0));
    };
    const IccWordEncoder words = [](int, icFloatNumber v) {
        return static_cast<uint16_t>(std::clamp(v * 65535.0 + 0.5, 0.0, 65535.0));
    };
    constexpr unsigned kColours = 777;
    for (const auto& [from, to] : cases) {
        const auto cmm = Begun(from, to, icPerceptual);
        ASSERT_TRUE(cmm);
        const int in = cmm->GetSourceSamples(), out = cmm->GetDestSamples();
        // 8-bit pixels to bytes, 16-bit ones to 16-bit samples.
        for (const int bits : {8, 16}) {
            SCOPED_TRACE(from + " -> " + to + " " + std::to_string(bits));
            const unsigned top = (1u << bits) - 1, size = unsigned(bits) / 8;
            std::vector<icFloatNumber> levels(4u << bits);
            for (size_t i = 0; i < levels.size(); ++i)
                levels[i] = icFloatNumber(i & top) / top;
            IccFastEvalEnds ends;
            ends.levels = levels.data(), ends.levelBits = bits;
            // XYZ destinations take values only: no encoder, no sample tables.
            ASSERT_TRUE(cmm->MakeFastEval(ends));
            ends.bytes = bits == 8 ? bytes : nullptr;
            ends.words = bits == 16 ? words : nullptr;
            const auto eval = cmm->MakeFastEval(ends);
            ASSERT_TRUE(eval);
            const auto sample = [&](const unsigned char* p, int c) {
                uint16_t v = 0;
                std::memcpy(&v, p + c * size, size);
                return v;
            };
            std::vector<std::array<unsigned char, 32>> colours(kColours), batched(kColours);
            std::vector<const unsigned char*> sources(kColours);
            std::vector<unsigned char*> dests(kColours);
            for (unsigned i = 0; i < kColours; ++i) {
                for (int c = 0; c < in; ++c) {
                    const uint16_t v =
                        uint16_t((i * 97 + c * 71) * (c + 3) * (size == 2 ? 263 : 1));
                    std::memcpy(&colours[i][c * size], &v, size);
                }
                sources[i] = colours[i].data(), dests[i] = batched[i].data();
            }
            eval->ApplyBytes(sources.data(), dests.data(), kColours);
            for (unsigned i = 0; i < kColours; ++i) {
                unsigned char one[32];
                icFloatNumber v[16], want[16];
                for (int c = 0; c < in; ++c)
                    v[c] = levels[(unsigned(c) << bits) + sample(colours[i].data(), c)];
                eval->ApplyBytes(colours[i].data(), one);
                cmm->Apply(want, v);
                for (int c = 0; c < out; ++c) {
                    ASSERT_EQ(sample(one, c), size == 1 ? bytes(c, want[c]) : words(c, want[c]))
                        << i << " " << c;
                    ASSERT_EQ(sample(batched[i].data(), c), sample(one, c)) << i << " " << c;
                }
            }
        }
    }
}

// The evaluator's tables are filled in parts on several threads: every item exactly once,
// whatever the count, small ones on the calling thread alone.
TEST(Colour, TablesFilledInPartsGetEveryItemOnce) {
    for (const unsigned count : {0u, 1u, 4095u, 4096u, 8191u, 65536u, 100003u}) {
        SCOPED_TRACE(count);
        std::vector<std::atomic<int>> seen(count);
        std::atomic<int> parts{0};
        icParallelFor(count, [&](unsigned from, unsigned to) {
            ++parts;
            for (unsigned i = from; i < to; ++i)
                ++seen[i];
        });
        EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto& n) { return n == 1; }),
                  std::ptrdiff_t(count));
        EXPECT_LE(parts.load(), count < 8192 ? 1 : 4);
    }
}

// XYZ to Lab without pow: Little CMS's cmsXYZ2Lab in the pipeline's floats, bit for bit, one
// colour at a time and four at once, on a wide sample and on every float next to the ends of
// the straight part and of the range, where the cube roots are closest to rounding another way.
TEST(Colour, XyzToLabIsLittleCmssOwn) {
    const double encodable = 1.0 + 32767.0 / 32768.0;
    const double white[3] = {cmsD50X, cmsD50Y, cmsD50Z};
    std::vector<std::array<float, 3>> xyz;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> wide(-0.05f, 1.3f);
    for (int i = 0; i < 400000; ++i)
        xyz.push_back({wide(rng), wide(rng), wide(rng)});
    for (const double t : {(24.0 / 116.0) * (24.0 / 116.0) * (24.0 / 116.0), 8.0}) {
        for (int c = 0; c < 3; ++c) {
            float v = static_cast<float>(t * white[c] / encodable);
            for (int k = 0; k < 200; ++k)
                v = std::nextafter(v, 0.0f);
            for (int k = 0; k < 400; ++k, v = std::nextafter(v, 9.0f)) {
                std::array<float, 3> colour = {wide(rng), wide(rng), wide(rng)};
                colour[c] = v;
                xyz.push_back(colour);
            }
        }
    }
    for (const float edge : {0.0f, -0.0f, 1e-30f, 1.0f, 0.5f})
        xyz.push_back({edge, edge, edge});
    xyz.resize((xyz.size() + 3) / 4 * 4, xyz.back());
    const size_t n = xyz.size();
    std::vector<float> lanesIn(3 * n), lanesOut(3 * n);
    for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < 3; ++c)
            lanesIn[c * n + i] = xyz[i][c];
    icFastXyzToLabLanes(lanesIn.data(), lanesOut.data(), unsigned(n), unsigned(n));
    size_t differ = 0;
    for (size_t i = 0; i < n; ++i) {
        const cmsCIEXYZ in{xyz[i][0] * encodable, xyz[i][1] * encodable, xyz[i][2] * encodable};
        cmsCIELab lab;
        cmsXYZ2Lab(nullptr, &lab, &in);
        const float want[3] = {float(lab.L / 100.0), float((lab.a + 128.0) / 255.0),
                               float((lab.b + 128.0) / 255.0)};
        float one[3];
        icFastXyzToLab(xyz[i].data(), one);
        for (size_t c = 0; c < 3; ++c) {
            differ += std::memcmp(&want[c], &one[c], sizeof(float)) != 0;
            differ += std::memcmp(&want[c], &lanesOut[c * n + i], sizeof(float)) != 0;
        }
    }
    EXPECT_EQ(differ, 0u);
}
