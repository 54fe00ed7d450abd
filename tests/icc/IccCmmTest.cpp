#include <gtest/gtest.h>
#include <lcms2.h>
#include <sys/stat.h>

#include <cmath>
#include <vector>

#include "IccCmm.h"
#include "ProfileFixtures.h"
#include "TempDir.h"

namespace {

std::unique_ptr<CIccCmm> Begun(const std::string& src, const std::string& dst,
                               icRenderingIntent intent = icRelativeColorimetric) {
    auto cmm = std::make_unique<CIccCmm>(icSigUnknownData, icSigUnknownData, true);
    if (cmm->AddXform(src.c_str(), intent, icInterpLinear) != icCmmStatOk ||
        cmm->AddXform(dst.c_str(), icUnknownIntent, icInterpLinear) != icCmmStatOk ||
        cmm->Begin() != icCmmStatOk)
        return nullptr;
    return cmm;
}

icStatusCMM FirstFailure(const std::string& src, const std::string& dst) {
    CIccCmm cmm(icSigUnknownData, icSigUnknownData, true);
    icStatusCMM s = cmm.AddXform(src.c_str(), icPerceptual, icInterpLinear);
    if (s != icCmmStatOk)
        return s;
    s = cmm.AddXform(dst.c_str(), icUnknownIntent, icInterpLinear);
    if (s != icCmmStatOk)
        return s;
    return cmm.Begin();
}

// Device grid of n channels: a few levels per channel, enough to cover the
// corners and the middle.
std::vector<double> DeviceGrid(int channels, int levels) {
    std::vector<double> out;
    int total = 1;
    for (int c = 0; c < channels; ++c)
        total *= levels;
    for (int i = 0; i < total; ++i) {
        int k = i;
        for (int c = 0; c < channels; ++c) {
            out.push_back(double(k % levels) / (levels - 1));
            k /= levels;
        }
    }
    return out;
}

// 8-bit values through the transform, encoded as the conversion encodes them.
std::vector<int> Convert8(const CIccCmm& cmm, const std::vector<int>& in) {
    double v[icMaxChannels] = {};
    for (size_t c = 0; c < in.size(); ++c)
        v[c] = in[c] / 255.0;
    cmm.Apply(v, v);
    std::vector<int> out;
    for (int c = 0; c < cmm.GetDestSamples(); ++c)
        out.push_back(int(std::min(1.0, std::max(0.0, v[c])) * 255.0 + 0.5));
    return out;
}

// Lab in real units through the transform, read back in real units.
std::vector<double> ConvertLab(const CIccCmm& cmm, double L, double a, double b) {
    double v[3] = {L / 100.0, (a + 128.0) / 255.0, (b + 128.0) / 255.0};
    cmm.Apply(v, v);
    return {v[0] * 100.0, v[1] * 255.0 - 128.0, v[2] * 255.0 - 128.0};
}

} // namespace

// What the ICC reference CMM gives for these pixels; one level off is rounding.
TEST(IccCmm, AgreesWithTheReferenceCmm) {
    const std::string srgbFree = "sRGB.icc"; // icc-profiles-free, v2
    const std::string srgbV4 = "colord/sRGB.icc";
    const std::string gsCmyk = "ghostscript/default_cmyk.icc"; // v2, Lab PCS
    const std::string psCmyk = "ghostscript/ps_cmyk.icc";      // v4, 5-point tables
    struct Case {
        std::string from, to;
        icRenderingIntent intent;
        std::vector<int> in, expected;
    } cases[] = {
        {gsCmyk, srgbV4, icPerceptual, {255, 255, 255, 255}, {32, 31, 31}},
        {gsCmyk, srgbV4, icPerceptual, {0, 0, 0, 255}, {55, 53, 53}},
        {psCmyk, srgbFree, icRelativeColorimetric, {37, 140, 201, 12}, {251, 170, 112}},
        {srgbV4, psCmyk, icRelativeColorimetric, {200, 100, 50}, {140, 214, 241, 0}},
        {gsCmyk, srgbFree, icRelativeColorimetric, {30, 60, 90, 120}, {139, 123, 108}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to);
        if (!fx::SystemProfileExists(c.from) || !fx::SystemProfileExists(c.to))
            GTEST_SKIP()
                << "Debian's colord, ghostscript or icc-profiles-free profiles are missing";
        auto cmm = Begun(fx::SystemProfile(c.from), fx::SystemProfile(c.to), c.intent);
        ASSERT_TRUE(cmm);
        const std::vector<int> got = Convert8(*cmm, c.in);
        ASSERT_EQ(got.size(), c.expected.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.expected[i], 1) << "channel " << i;
    }
}

// A run of pixels gives exactly the values of one pixel at a time, in place or not.
TEST(IccCmm, ARunOfPixelsMatchesSinglePixels) {
    fx::TempDir dir;
    auto cmm = Begun(fx::MakeSrgbProfile(dir.path()), fx::MakeCmykProfile(dir.path()));
    ASSERT_TRUE(cmm);
    EXPECT_EQ(cmm->GetSourceSpace(), icSigRgbData);
    EXPECT_EQ(cmm->GetDestSpace(), icSigCmykData);
    EXPECT_EQ(cmm->GetDestSamples(), 4);
    const std::vector<double> grid = DeviceGrid(3, 9);
    const size_t n = grid.size() / 3;
    std::vector<double> many(n * 4);
    cmm->Apply(many.data(), grid.data(), static_cast<icUInt32Number>(n));
    for (size_t i = 0; i < n; ++i) {
        double one[icMaxChannels] = {grid[i * 3], grid[i * 3 + 1], grid[i * 3 + 2]};
        cmm->Apply(one, one);
        for (int c = 0; c < 4; ++c)
            ASSERT_EQ(many[i * 4 + c], one[c]) << "pixel " << i << " ink " << c;
    }
}

// Little CMS would compensate black points whenever a version 4 profile meets
// the perceptual or saturation intent; the reference CMM never does. The
// fixture CMYK profile (v2) shares one table pair between its intents, so
// every intent must land where relative colorimetric does.
TEST(IccCmm, NoBlackPointCompensationWithVersion4Profiles) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path()); // v4 matrix/TRC
    const std::string cmyk = fx::MakeCmykProfile(dir.path());
    const std::vector<std::vector<int>> inks = {
        {255, 255, 255, 255}, {0, 0, 0, 255}, {40, 90, 20, 60}};
    const std::vector<std::vector<int>> rgbs = {{0, 0, 0}, {30, 20, 10}};
    for (icRenderingIntent intent : {icPerceptual, icSaturation}) {
        SCOPED_TRACE(intent);
        auto toRgb = Begun(cmyk, srgb, intent), toRgbRel = Begun(cmyk, srgb);
        auto toInk = Begun(srgb, cmyk, intent), toInkRel = Begun(srgb, cmyk);
        ASSERT_TRUE(toRgb && toRgbRel && toInk && toInkRel);
        for (const auto& in : inks)
            EXPECT_EQ(Convert8(*toRgb, in), Convert8(*toRgbRel, in));
        for (const auto& in : rgbs)
            EXPECT_EQ(Convert8(*toInk, in), Convert8(*toInkRel, in));
    }
}

// For the perceptual intent a version 2 step is moved onto the version 4
// reference medium, whose black is XYZ 0.00336, 0.0034731, 0.00287: zero
// becomes L* 3.1372, a* 0.0454, b* -0.0095, and back. Identity Lab profiles
// show the PCS itself. Expected values worked out by hand from the scaling.
TEST(IccCmm, PerceptualBlackMovesBetweenVersion2AndVersion4Steps) {
    fx::TempDir dir;
    const std::string v2 = fx::MakeLabProfile(dir.path(), false, "lab2.icc");
    const std::string v4 = fx::MakeLabProfile(dir.path(), true, "lab4.icc");
    struct Case {
        std::string from, to;
        icRenderingIntent intent;
        double in[3], expected[3];
    } cases[] = {
        {v2, v4, icPerceptual, {0, 0, 0}, {3.1372, 0.0454, -0.0095}},
        {v2, v4, icPerceptual, {50, 0, 0}, {50.3367, 0.0048, -0.0010}},
        {v2, v4, icPerceptual, {30, 20, -40}, {30.7872, 19.3659, -39.1540}},
        {v2, v4, icPerceptual, {100, 0, 0}, {100, 0, 0}},
        {v4, v2, icPerceptual, {3.1372, 0.0454, -0.0095}, {0, 0, 0}},
        {v4, v2, icPerceptual, {50.3367, 0.0048, -0.0010}, {50, 0, 0}},
        // Only the perceptual intent moves, and steps of one kind meet as they are.
        {v2, v4, icRelativeColorimetric, {0, 0, 0}, {0, 0, 0}},
        {v2, v4, icSaturation, {30, 20, -40}, {30, 20, -40}},
        {v2, v2, icPerceptual, {0, 0, 0}, {0, 0, 0}},
        {v4, v4, icPerceptual, {30, 20, -40}, {30, 20, -40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.from == v2 ? "v2" : "v4") << " -> " << (c.to == v2 ? "v2" : "v4")
                     << " intent " << c.intent << " L* " << c.in[0]);
        auto cmm = Begun(c.from, c.to, c.intent);
        ASSERT_TRUE(cmm);
        const std::vector<double> got = ConvertLab(*cmm, c.in[0], c.in[1], c.in[2]);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], c.expected[i], 0.01) << "channel " << i;
    }
}

namespace {

// An input-class profile (v4, PCS XYZ) whose A2B0 is one 2-point table: for
// output channel k, one at the corners listed in ones[k] and zero elsewhere.
std::string CornerTableProfile(const std::string& path, int inputs,
                               const std::vector<std::vector<int>>& ones) {
    const int corners = 1 << inputs;
    std::vector<cmsUInt16Number> table(corners * 3, 0);
    for (int k = 0; k < 3; ++k)
        for (int corner : ones[k])
            table[corner * 3 + k] = 0xFFFF;
    const cmsColorSpaceSignature space = inputs == 3 ? cmsSigRgbData : cmsSigCmykData;
    cmsHPROFILE h = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(h, 4.3);
    cmsSetDeviceClass(h, cmsSigInputClass);
    cmsSetColorSpace(h, space);
    cmsSetPCS(h, cmsSigXYZData);
    cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    // lutAToBType needs curves around the table; identity ones.
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, inputs, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, inputs, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, 2, inputs, 3, table.data()));
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    const bool ok = cmsWriteTag(h, cmsSigAToB0Tag, lut) && cmsSaveProfileToFile(h, path.c_str());
    cmsPipelineFree(lut);
    cmsCloseProfile(h);
    return ok ? path : "";
}

} // namespace

// Every corner of the cell counts: at the middle of a 2-point cube a corner
// of one weighs 1/8 (1/16 in four dimensions), where tetrahedral
// interpolation would give 1/2. Grid corners are numbered with the first
// input as the highest bit. Expected values are the products of the weights,
// worked out by hand.
TEST(IccCmm, TablesAreInterpolatedLinearly) {
    fx::TempDir dir;
    const std::string xyz = fx::MakeXyzProfile(dir.path());
    // Channel 0: corner all ones; channel 1: first input only; channel 2: two corners.
    const std::string rgb = CornerTableProfile(dir.file("rgb.icc"), 3, {{7}, {4}, {2, 1}});
    const std::string cmyk = CornerTableProfile(dir.file("cmyk.icc"), 4, {{15}, {8}, {1, 14}});
    ASSERT_FALSE(rgb.empty());
    ASSERT_FALSE(cmyk.empty());
    struct Case {
        const std::string& profile;
        std::vector<double> in;
        double expected[3];
    } cases[] = {
        {rgb, {0.5, 0.5, 0.5}, {0.125, 0.125, 0.25}},
        {rgb, {0.25, 0.5, 0.75}, {0.09375, 0.03125, 0.375}},
        {rgb, {1, 1, 1}, {1, 0, 0}},
        {cmyk, {0.5, 0.5, 0.5, 0.5}, {0.0625, 0.0625, 0.125}},
        {cmyk, {0.25, 0.5, 0.75, 0.5}, {0.046875, 0.015625, 0.09375}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.in.size() << " inputs at " << c.in[0] << ", "
                                        << c.in[1] << ", " << c.in[2]);
        auto cmm = Begun(c.profile, xyz);
        ASSERT_TRUE(cmm);
        double v[icMaxChannels] = {};
        std::copy(c.in.begin(), c.in.end(), v);
        cmm->Apply(v, v);
        for (int i = 0; i < 3; ++i) // PCS-encoded XYZ reads as the table's 0..1
            EXPECT_NEAR(v[i], c.expected[i], 1e-4) << "channel " << i;
    }
}

TEST(IccCmm, IntentUnknownTakesTheSourceHeaderIntentForBothSteps) {
    fx::TempDir dir;
    const std::string probe = fx::MakeIntentProbeProfile(dir.path(), fx::kIntentSaturation);
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    ASSERT_FALSE(probe.empty());
    ASSERT_FALSE(srgb.empty());

    const double in[3] = {0.9, 0.5, 0.1};
    auto convert = [&](icRenderingIntent intent, double* out) {
        auto cmm = Begun(probe, srgb, intent);
        ASSERT_TRUE(cmm);
        out[0] = in[0], out[1] = in[1], out[2] = in[2];
        cmm->Apply(out, out);
    };
    double header[3], perceptual[3], relative[3], saturation[3];
    convert(icUnknownIntent, header);
    convert(icPerceptual, perceptual);
    convert(icRelativeColorimetric, relative);
    convert(icSaturation, saturation);
    // The probe's three intents move colours far apart; perceptual is the
    // plain colorimetry, so it keeps the colour.
    auto far = [](const double* a, const double* b) {
        return std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]) > 0.3;
    };
    EXPECT_TRUE(far(perceptual, relative));
    EXPECT_TRUE(far(perceptual, saturation));
    EXPECT_TRUE(far(relative, saturation));
    EXPECT_NEAR(perceptual[0], 0.9, 0.03);
    EXPECT_NEAR(perceptual[2], 0.1, 0.03);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(header[c], saturation[c]);

    auto cmm = Begun(probe, srgb, icUnknownIntent);
    ASSERT_TRUE(cmm);
    EXPECT_EQ(cmm->GetIntent(), icSaturation);
}

TEST(IccCmm, ProfilesThatCannotServeAreRefused) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    EXPECT_EQ(FirstFailure(dir.file("missing.icc"), srgb), icCmmStatCantOpenProfile);
    EXPECT_NE(FirstFailure(srgb, dir.file("missing.icc")), icCmmStatOk);
    EXPECT_NE(FirstFailure(fx::MakeGarbageProfile(dir.path()), srgb), icCmmStatOk);
    EXPECT_NE(FirstFailure(fx::MakeTruncatedProfile(dir.path()), srgb), icCmmStatOk);
    EXPECT_NE(FirstFailure(fx::MakeDeviceLinkProfile(dir.path()), srgb), icCmmStatOk);
    EXPECT_NE(FirstFailure(srgb, fx::MakeNamedColorProfile(dir.path())), icCmmStatOk);
    // A profile that only describes a source cannot be converted to.
    EXPECT_NE(FirstFailure(srgb, fx::MakeInputOnlyProfile(dir.path())), icCmmStatOk);
    EXPECT_EQ(FirstFailure(fx::MakeInputOnlyProfile(dir.path()), srgb), icCmmStatOk);
    // A folder is not a profile, and a named pipe is refused at once instead
    // of waiting for a writer.
    EXPECT_NE(FirstFailure(dir.path(), srgb), icCmmStatOk);
    ASSERT_EQ(0, mkfifo(dir.file("pipe.icc").c_str(), 0600));
    EXPECT_EQ(FirstFailure(dir.file("pipe.icc"), srgb), icCmmStatCantOpenProfile);
    EXPECT_NE(FirstFailure(srgb, dir.file("pipe.icc")), icCmmStatOk);

    // A profile in memory serves like the same profile on disk.
    const std::vector<unsigned char> bytes = fx::ReadFileBytes(srgb);
    CIccCmm fromMemory;
    EXPECT_EQ(fromMemory.AddXform(srgb.c_str(), icPerceptual), icCmmStatOk);
    EXPECT_EQ(fromMemory.AddXform(bytes.data(), bytes.size()), icCmmStatOk);
    EXPECT_EQ(fromMemory.Begin(), icCmmStatOk);
    CIccCmm empty;
    EXPECT_NE(empty.AddXform(bytes.data(), 0), icCmmStatOk);

    // Apply before Begin does nothing harmful and says so.
    CIccCmm idle;
    double v[3] = {0.5, 0.5, 0.5};
    EXPECT_NE(idle.Apply(v, v), icCmmStatOk);
}

// An abstract profile is a PCS-to-PCS step; the fixture's raises L* by 10.
TEST(IccCmm, AbstractProfilesServeAtEitherEnd) {
    fx::TempDir dir;
    const std::string abstract = fx::MakeAbstractProfile(dir.path());
    const std::string lab = fx::MakeLabProfile(dir.path());
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    for (bool first : {true, false}) {
        SCOPED_TRACE(first ? "source" : "destination");
        auto cmm = first ? Begun(abstract, lab) : Begun(lab, abstract);
        ASSERT_TRUE(cmm);
        EXPECT_EQ(cmm->GetSourceSpace(), icSigLabData);
        EXPECT_EQ(cmm->GetDestSpace(), icSigLabData);
        const std::vector<double> got = ConvertLab(*cmm, 50, 10, -20);
        EXPECT_NEAR(got[0], 60, 0.5);
        EXPECT_NEAR(got[1], 10, 0.5);
        EXPECT_NEAR(got[2], -20, 0.5);
    }
    auto toRgb = Begun(abstract, srgb);
    ASSERT_TRUE(toRgb);
    EXPECT_EQ(toRgb->GetDestSpace(), icSigRgbData);
}

TEST(IccCmm, AnyDataSpaceOfOneToFifteenChannelsConnects) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    struct Case {
        std::string profile;
        icColorSpaceSignature space;
        int channels;
    } cases[] = {
        {fx::MakeGrayProfile(dir.path()), icSigGrayData, 1},
        {fx::MakeCmyProfile(dir.path()), icSigCmyData, 3},
        {fx::MakeInkProfile(dir.path(), 4), icSig4colorData, 4},
        {fx::MakeInkProfile(dir.path(), 5), icSig5colorData, 5},
        {fx::MakeInkProfile(dir.path(), 6), icSig6colorData, 6},
        {fx::MakeInkProfile(dir.path(), 8), icSig8colorData, 8},
        {fx::MakeProfileOfSpace(dir.path(), icSig15colorData, 15), icSig15colorData, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        ASSERT_FALSE(c.profile.empty());
        auto there = Begun(srgb, c.profile);
        ASSERT_TRUE(there);
        EXPECT_EQ(there->GetDestSpace(), c.space);
        EXPECT_EQ(there->GetDestSamples(), c.channels);
        auto back = Begun(c.profile, srgb);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->GetSourceSpace(), c.space);
        EXPECT_EQ(back->GetSourceSamples(), c.channels);
    }
}

// Ink values cross the layer as 0..1 whatever Little CMS uses inside, so
// full ink must read back as 1, never as 100 or 0.01.
TEST(IccCmm, InkValuesCrossAsZeroToOne) {
    fx::TempDir dir;
    const std::string srgb = fx::MakeSrgbProfile(dir.path());
    for (int inks : {4, 5, 6}) {
        SCOPED_TRACE(inks);
        const std::string ink = fx::MakeInkProfile(dir.path(), inks);
        auto toInk = Begun(srgb, ink);
        auto fromInk = Begun(ink, srgb);
        ASSERT_TRUE(toInk && fromInk);
        double v[icMaxChannels] = {0.0, 0.0, 0.0};
        toInk->Apply(v, v); // black
        double maxInk = 0;
        for (int c = 0; c < inks; ++c) {
            EXPECT_GE(v[c], -1e-6);
            EXPECT_LE(v[c], 1.0 + 1e-6);
            maxInk = std::max(maxInk, v[c]);
        }
        EXPECT_GT(maxInk, 0.5);
        fromInk->Apply(v, v);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(v[c], 0.0, 0.08);
    }
}

TEST(IccCmm, LabAndXyzProfilesCarryPcsEncodedValues) {
    fx::TempDir dir;
    const std::string lab = fx::MakeLabProfile(dir.path());
    const std::string xyz = fx::MakeXyzProfile(dir.path());
    ASSERT_FALSE(lab.empty());
    ASSERT_FALSE(xyz.empty());

    auto labToLab = Begun(lab, lab);
    ASSERT_TRUE(labToLab);
    EXPECT_EQ(labToLab->GetSourceSpace(), icSigLabData);
    const double samples[][3] = {{0.5, 0.5, 0.5}, {0.2, 0.1, 0.9}, {1.0, 0.5, 0.5}};
    for (const auto& s : samples) {
        double v[3] = {s[0], s[1], s[2]};
        labToLab->Apply(v, v);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(v[c], s[c], 1e-4);
    }

    // Lab white through Lab -> XYZ: the D50 white in the PCS XYZ encoding.
    auto labToXyz = Begun(lab, xyz);
    ASSERT_TRUE(labToXyz);
    EXPECT_EQ(labToXyz->GetDestSpace(), icSigXYZData);
    double white[3] = {1.0, 128.0 / 255.0, 128.0 / 255.0};
    labToXyz->Apply(white, white);
    EXPECT_NEAR(white[0], 0.9642 * 32768.0 / 65535.0, 1e-4);
    EXPECT_NEAR(white[1], 1.0 * 32768.0 / 65535.0, 1e-4);
    EXPECT_NEAR(white[2], 0.8249 * 32768.0 / 65535.0, 1e-4);
}
