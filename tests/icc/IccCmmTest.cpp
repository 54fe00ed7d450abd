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

} // namespace

TEST(IccCmm, MatchesLittleCmsCalledDirectlyInDoublePrecision) {
    if (!fx::SystemProfileExists("ghostscript/default_cmyk.icc"))
        GTEST_SKIP() << "Debian's ghostscript profiles are not installed";
    const std::string srgb = fx::SystemProfile("colord/sRGB.icc");
    const std::string cmyk = fx::SystemProfile("ghostscript/default_cmyk.icc");
    auto cmm = Begun(srgb, cmyk);
    ASSERT_TRUE(cmm);
    EXPECT_EQ(cmm->GetSourceSpace(), icSigRgbData);
    EXPECT_EQ(cmm->GetDestSpace(), icSigCmykData);
    EXPECT_EQ(cmm->GetDestSamples(), 4);

    cmsHPROFILE in = cmsOpenProfileFromFile(srgb.c_str(), "r");
    cmsHPROFILE out = cmsOpenProfileFromFile(cmyk.c_str(), "r");
    cmsHTRANSFORM direct = cmsCreateTransform(in, TYPE_RGB_DBL, out, TYPE_CMYK_DBL,
                                              INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
    ASSERT_NE(direct, nullptr);

    const std::vector<double> grid = DeviceGrid(3, 9);
    const size_t n = grid.size() / 3;
    std::vector<double> many(n * 4);
    cmm->Apply(many.data(), grid.data(), static_cast<icUInt32Number>(n));
    for (size_t i = 0; i < n; ++i) {
        double expected[4];
        cmsDoTransform(direct, &grid[i * 3], expected, 1);
        double one[icMaxChannels] = {grid[i * 3], grid[i * 3 + 1], grid[i * 3 + 2]};
        cmm->Apply(one, one); // in place
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(one[c], expected[c] / 100.0) << "pixel " << i << " ink " << c;
            // A run of pixels gives exactly the single-pixel values.
            EXPECT_EQ(many[i * 4 + c], one[c]);
        }
    }
    cmsDeleteTransform(direct);
    cmsCloseProfile(in);
    cmsCloseProfile(out);
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
    EXPECT_NE(FirstFailure(srgb, fx::MakeAbstractProfile(dir.path())), icCmmStatOk);
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
