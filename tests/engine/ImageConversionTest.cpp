#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ConversionHarness.h"
#include "IccCmm.h"
#include "Messages.h"
#include "ProfileFixtures.h"
#include "TempDir.h"
#include "TiffFixtures.h"

namespace {

std::string WriteSource(const std::string& path, const fx::TiffSpec& spec) {
    EXPECT_TRUE(fx::WriteTiff(path, spec));
    return path;
}

} // namespace

TEST(ImageConversion, EveryEarlyFailureShowsItsMessageAndCreatesNothing) {
    fx::TempDir dir;
    const std::string rgb = WriteSource(dir.file("rgb.tif"), fx::RgbSpec(6, 4));
    fx::TiffSpec sixteen = fx::RgbSpec(6, 4);
    sixteen.bitsPerSample = 16;
    const std::string deep = WriteSource(dir.file("deep.tif"), sixteen);
    fx::TiffSpec alpha = fx::RgbSpec(6, 4);
    alpha.samplesPerPixel = 4;
    alpha.extraSamples = 1;
    alpha.associatedAlpha = true;
    const std::string withAlpha = WriteSource(dir.file("alpha.tif"), alpha);
    const std::string twoInks = fx::MakeInkProfile(dir.path(), 2);
    ASSERT_TRUE(fx::WriteFileBytes(dir.file("text.tif"), {'n', 'o', 't'}));
    const std::string out = dir.file("out.tif");

    struct Case {
        std::string srcProfile, dstProfile, source, dest, message;
    } cases[] = {
        {P().srgb, dir.file("gone.icc"), rgb, out,
         "Invalid Profile:\n  " + P().srgb + "\n  " + dir.file("gone.icc") + "'"},
        {dir.file("gone.icc"), P().srgb, rgb, out,
         "Invalid Profile:\n  " + dir.file("gone.icc") + "\n  " + P().srgb + "'"},
        {P().srgb, P().cmyk, dir.file("text.tif"), out,
         "Invalid Tiff file - '" + dir.file("text.tif") + "'"},
        {P().srgb, P().cmyk, deep, out, "Error: Source image must be 8-bit."},
        {P().cmyk, P().srgb, rgb, out,
         "Error: Data type mismatch between source image and profile."},
        {P().srgb, P().cmyk, withAlpha, out,
         "Error: Data type mismatch between source image and profile."},
        {P().gray, P().srgb, rgb, out,
         "Error: Data type mismatch between source image and profile."},
        {P().srgb, twoInks, rgb, out, "Invalid destination profile or image pixel format"},
        {P().srgb, P().cmyk, rgb, dir.file("none/out.tif"),
         "Unable to create Tiff file - '" + dir.file("none/out.tif") + "'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ImageHarness h(c.srcProfile, c.dstProfile);
        EXPECT_EQ(h.Convert(c.source, c.dest), ImageOutcome::FailedBeforeRows);
        ASSERT_EQ(h.hooks.messages.size(), 1u);
        EXPECT_EQ(h.hooks.messages[0], c.message);
        EXPECT_EQ(h.hooks.rows, 0);
        EXPECT_FALSE(fx::PathExists(out));
        EXPECT_EQ(h.job.m_pSourceRow, nullptr);
        EXPECT_EQ(h.job.m_pDestRow, nullptr);
        EXPECT_FALSE(h.job.m_bStop);
    }
}

TEST(ImageConversion, AcceptedSourcesAndDestinationLayouts) {
    fx::TempDir dir;
    fx::TiffSpec grayRgb = fx::GraySpec(5, 3, 3, fx::kPhotometricMinIsBlack);
    fx::TiffSpec minIsWhite = fx::GraySpec(5, 3, 4, fx::kPhotometricMinIsWhite);
    fx::TiffSpec rgba = fx::RgbSpec(5, 3), cmyka = fx::CmykSpec(5, 3);
    rgba.samplesPerPixel = 4;
    cmyka.samplesPerPixel = 5;
    rgba.extraSamples = cmyka.extraSamples = 1;
    struct Case {
        const char* name;
        fx::TiffSpec spec;
        std::string srcProfile, dstProfile;
        uint16_t photometric, samples;
    } cases[] = {
        {"rgb-cmyk", fx::RgbSpec(5, 3), P().srgb, P().cmyk, fx::kPhotometricSeparated, 4},
        {"gray-gray", fx::GraySpec(5, 3, 1), P().gray, P().gray, fx::kPhotometricMinIsBlack, 1},
        {"rgb-gray", fx::RgbSpec(5, 3), P().srgb, P().gray, fx::kPhotometricMinIsBlack, 1},
        {"rgba-cmyka", rgba, P().srgb, P().cmyk, fx::kPhotometricSeparated, 5},
        {"cmyka-rgba", cmyka, P().cmyk, P().srgb, fx::kPhotometricRgb, 4},
        {"minisblack3-rgb", grayRgb, P().srgb, P().srgb, fx::kPhotometricRgb, 3},
        {"rgb-cmy", fx::RgbSpec(5, 3), P().srgb, P().cmy, fx::kPhotometricMinIsWhite, 3},
        {"rgb-6clr", fx::RgbSpec(5, 3), P().srgb, P().ink6, fx::kPhotometricMinIsWhite, 6},
        {"rgb-7clr", fx::RgbSpec(5, 3), P().srgb, P().ink7, fx::kPhotometricMinIsWhite, 7},
        {"rgb-lab", fx::RgbSpec(5, 3), P().srgb, P().lab, fx::kPhotometricCieLab, 3},
        {"rgb-xyz", fx::RgbSpec(5, 3), P().srgb, P().xyz, fx::kPhotometricCieLab, 3},
        {"lab-rgb", fx::LabSpec(5, 3), P().lab, P().srgb, fx::kPhotometricRgb, 3},
        {"labimage-xyzprofile", fx::LabSpec(5, 3), P().xyz, P().srgb, fx::kPhotometricRgb, 3},
        {"cmyk-rgb", fx::CmykSpec(5, 3), P().cmyk, P().srgb, fx::kPhotometricRgb, 3},
        {"miniswhite4-cmyk", minIsWhite, P().cmyk, P().srgb, fx::kPhotometricRgb, 3},
        {"5ink-rgb", fx::InkSpec(5, 3, 5), P().ink5, P().srgb, fx::kPhotometricRgb, 3},
        {"6ink-rgb", fx::InkSpec(5, 3, 6), P().ink6, P().srgb, fx::kPhotometricRgb, 3},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.spec.xResolution = 300;
        c.spec.yResolution = 300;
        // Every other source has no unit: none is then written.
        const bool unit = (&c - cases) % 2 == 0;
        c.spec.resolutionUnit = unit ? fx::kResUnitCentimeter : 0;
        const std::string src = WriteSource(dir.file(std::string(c.name) + ".tif"), c.spec);
        const std::string dst = dir.file(std::string(c.name) + "-out.tif");
        ImageHarness h(c.srcProfile, c.dstProfile);
        ASSERT_EQ(h.Convert(src, dst), ImageOutcome::Converted);
        EXPECT_TRUE(h.hooks.messages.empty());
        EXPECT_EQ(h.hooks.rows, 3);
        EXPECT_EQ(h.hooks.pauseChecks, 1);
        fx::TiffContents got = fx::ReadTiff(dst);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.photometric, c.photometric);
        EXPECT_EQ(got.samplesPerPixel, c.samples);
        EXPECT_EQ(got.width, 5u);
        EXPECT_EQ(got.height, 3u);
        EXPECT_EQ(got.compression, fx::kCompressionNone);
        // Resolution numbers and unit travel: 300 per cm is not 300 dpi.
        EXPECT_FLOAT_EQ(got.xResolution, 300);
        EXPECT_FLOAT_EQ(got.yResolution, 300);
        EXPECT_EQ(got.hasResolutionUnit, unit);
        EXPECT_EQ(got.resolutionUnit, unit ? fx::kResUnitCentimeter : 0);
        EXPECT_FALSE(got.hasIcc);
        EXPECT_EQ(h.xyzDestination, c.srcProfile != P().xyz && c.dstProfile == P().xyz);
        // An alpha channel is carried through unchanged.
        EXPECT_EQ(got.extraSamples, c.spec.extraSamples);
        const size_t from = c.spec.samplesPerPixel, to = c.samples;
        const std::vector<unsigned char> in = fx::PatternPixels(c.spec);
        ASSERT_EQ(got.pixels.size(), 15 * to);
        for (size_t i = 0; c.spec.extraSamples && i < 15; ++i)
            EXPECT_EQ(got.pixels[i * to + to - 1], in[i * from + from - 1]) << i;
    }
}

// Every written byte is the transform's value for that pixel, rounded.
TEST(ImageConversion, WritesTheTransformsValueForEveryPixel) {
    if (!fx::SystemProfileExists("ghostscript/default_cmyk.icc"))
        GTEST_SKIP() << "Debian's ghostscript profiles are not installed";
    fx::TempDir dir;
    const std::string srgb = fx::SystemProfile("colord/sRGB.icc");
    const std::string cmyk = fx::SystemProfile("ghostscript/default_cmyk.icc");
    fx::TiffSpec spec = fx::RgbSpec(61, 47); // odd width, noise and gradients
    spec.rowsPerStrip = 8;
    spec.pixels = fx::PatternPixels(spec);
    const std::string src = WriteSource(dir.file("photo.tif"), spec);
    ImageHarness h(srgb, cmyk, 3);
    ASSERT_EQ(h.Convert(src, dir.file("out.tif")), ImageOutcome::Converted);
    fx::TiffContents got = fx::ReadTiff(dir.file("out.tif"));
    ASSERT_TRUE(got.ok);

    CIccCmm cmm;
    ASSERT_EQ(cmm.AddXform(srgb.c_str(), icSaturation), icCmmStatOk);
    ASSERT_EQ(cmm.AddXform(cmyk.c_str()), icCmmStatOk);
    ASSERT_EQ(cmm.Begin(), icCmmStatOk);
    const size_t pixels = size_t(spec.width) * spec.height;
    ASSERT_EQ(got.pixels.size(), pixels * 4);
    for (size_t i = 0; i < pixels; ++i) {
        double v[icMaxChannels];
        for (int c = 0; c < 3; ++c)
            v[c] = spec.pixels[i * 3 + c] * 0.00392156862745098;
        cmm.Apply(v, v);
        for (int c = 0; c < 4; ++c) {
            const double t = v[c] < 0 ? 0 : (v[c] > 1 ? 1 : v[c]);
            ASSERT_EQ(got.pixels[i * 4 + c], (unsigned char)(int)(t * 255.0 + 0.5))
                << "pixel " << i << " ink " << c;
        }
    }
}

// Grey stored white-is-zero is read as the grey profile counts, from black:
// through an identity, every value comes out inverted and black-is-zero.
TEST(ImageConversion, GreyStoredWhiteIsZeroIsInverted) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::GraySpec(16, 16, 1, fx::kPhotometricMinIsWhite);
    spec.pixels.resize(256);
    for (size_t i = 0; i < 256; ++i)
        spec.pixels[i] = static_cast<unsigned char>(i);
    const std::string src = WriteSource(dir.file("grey.tif"), spec);
    ImageHarness h(P().gray, P().gray);
    ASSERT_EQ(h.Convert(src, dir.file("out.tif")), ImageOutcome::Converted);
    const fx::TiffContents got = fx::ReadTiff(dir.file("out.tif"));
    ASSERT_EQ(got.pixels.size(), 256u);
    for (size_t i = 0; i < 256; ++i)
        EXPECT_NEAR(got.pixels[i], 255 - int(i), 1) << i;
}

// Each source's own embedded profile as its source profile.
TEST(ImageConversion, EmbeddedSourceProfiles) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::RgbSpec(9, 5);
    const std::string plain = WriteSource(dir.file("plain.tif"), spec);
    spec.icc = fx::ReadFileBytes(P().srgb);
    const std::string tagged = WriteSource(dir.file("tagged.tif"), spec);
    spec.icc = {'n', 'o', 'p', 'e'};
    const std::string broken = WriteSource(dir.file("broken.tif"), spec);
    ImageHarness byFile(P().srgb, P().cmyk);
    ASSERT_EQ(byFile.Convert(plain, dir.file("by-file.tif")), ImageOutcome::Converted);
    struct Case {
        std::string source;
        std::string message; // empty: converted as with the profile's file
    } cases[] = {
        {tagged, ""},
        {plain, "Error: Source image plain.tif has no embedded profile."},
        {broken, "Invalid Profile:\n  " + broken + " (embedded profile)\n  " + P().cmyk + "'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        ImageHarness h("", P().cmyk);
        h.job.m_bEmbeddedSourceProfile = true;
        const ImageOutcome outcome = h.Convert(c.source, dir.file("out.tif"));
        if (c.message.empty()) {
            EXPECT_EQ(outcome, ImageOutcome::Converted);
            EXPECT_EQ(fx::ReadTiff(dir.file("out.tif")).pixels,
                      fx::ReadTiff(dir.file("by-file.tif")).pixels);
        } else {
            EXPECT_EQ(outcome, ImageOutcome::FailedBeforeRows);
            EXPECT_EQ(h.hooks.messages, std::vector<std::string>{c.message});
        }
    }
}

TEST(ImageConversion, LabThroughALabProfileKeepsEveryByte) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::LabSpec(64, 8);
    spec.pixels = fx::AllBytesPixels(3, 64, 8);
    const std::string src = WriteSource(dir.file("lab.tif"), spec);
    ImageHarness h(P().lab, P().lab);
    ASSERT_EQ(h.Convert(src, dir.file("out.tif")), ImageOutcome::Converted);
    fx::TiffContents got = fx::ReadTiff(dir.file("out.tif"));
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.pixels, spec.pixels);

    if (fx::SystemProfileExists("ITULab.icc")) {
        ImageHarness real(fx::SystemProfile("LCMSLABI.ICM"), fx::SystemProfile("LCMSLABI.ICM"));
        if (fx::SystemProfileExists("LCMSLABI.ICM")) {
            ASSERT_EQ(real.Convert(src, dir.file("real.tif")), ImageOutcome::Converted);
            EXPECT_EQ(fx::ReadTiff(dir.file("real.tif")).pixels, spec.pixels);
        }
    }
}

TEST(ImageConversion, XyzSourceAndDestinationGoThroughLab) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::LabSpec(40, 6);
    spec.pixels = fx::AllBytesPixels(3, 40, 6);
    // Keep the colours inside what XYZ can hold without clipping: real
    // surface colours, not the corners of the Lab cube.
    for (size_t i = 0; i < spec.pixels.size(); i += 3) {
        spec.pixels[i] = static_cast<unsigned char>(20 + spec.pixels[i] % 200);
        spec.pixels[i + 1] = static_cast<unsigned char>(int8_t(spec.pixels[i + 1]) / 4);
        spec.pixels[i + 2] = static_cast<unsigned char>(int8_t(spec.pixels[i + 2]) / 4);
    }
    const std::string src = WriteSource(dir.file("lab.tif"), spec);
    ImageHarness h(P().xyz, P().xyz);
    ASSERT_EQ(h.Convert(src, dir.file("out.tif")), ImageOutcome::Converted);
    EXPECT_TRUE(h.xyzDestination);
    fx::TiffContents got = fx::ReadTiff(dir.file("out.tif"));
    ASSERT_TRUE(got.ok);
    ASSERT_EQ(got.pixels.size(), spec.pixels.size());
    for (size_t i = 0; i < got.pixels.size(); ++i) {
        const int want = (i % 3) ? int8_t(spec.pixels[i]) : spec.pixels[i];
        const int have = (i % 3) ? int8_t(got.pixels[i]) : got.pixels[i];
        EXPECT_LE(std::abs(want - have), 1) << "byte " << i;
    }
}

TEST(ImageConversion, IntentIndexZeroFollowsTheSourceProfileHeader) {
    fx::TempDir dir;
    const std::string probe = fx::MakeIntentProbeProfile(dir.path(), fx::kIntentSaturation);
    const std::string src = WriteSource(dir.file("in.tif"), fx::RgbSpec(16, 4));
    std::vector<unsigned char> results[4];
    for (int index = 0; index < 4; ++index) {
        ImageHarness h(probe, P().srgb, index);
        const std::string out = dir.file("out" + std::to_string(index) + ".tif");
        ASSERT_EQ(h.Convert(src, out), ImageOutcome::Converted);
        results[index] = fx::ReadTiff(out).pixels;
    }
    EXPECT_EQ(results[0], results[3]);
    EXPECT_NE(results[0], results[1]);
    EXPECT_NE(results[0], results[2]);
    EXPECT_NE(results[1], results[2]);
}

TEST(ImageConversion, EmbedsExactlyTheProfileBytesItIsGiven) {
    fx::TempDir dir;
    const std::string src = WriteSource(dir.file("in.tif"), fx::RgbSpec(4, 2));
    ImageHarness h(P().srgb, P().cmyk);
    h.profile = fx::ReadFileBytes(P().cmyk);
    h.embed = true;
    ASSERT_EQ(h.Convert(src, dir.file("out.tif")), ImageOutcome::Converted);
    fx::TiffContents got = fx::ReadTiff(dir.file("out.tif"));
    ASSERT_TRUE(got.hasIcc);
    EXPECT_EQ(got.icc, h.profile);
}

// A cancel stops after the row in progress, on either path, and leaves the
// destination's name as it was: an earlier file there stays whole, and no
// partial or hidden file is left behind.
TEST(ImageConversion, ACancelStopsAfterTheRowInProgressAndKeepsTheEarlierFile) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::RgbSpec(9, 10);
    spec.pixels = fx::PatternPixels(spec);
    const std::string src = WriteSource(dir.file("in.tif"), spec);
    const std::vector<unsigned char> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    ASSERT_TRUE(fx::WriteFileBytes(dir.file("cut.tif"), earlier));
    const std::string before = fx::FileDigest(dir.file("cut.tif"));

    for (const bool plain : {true, false}) {
        SCOPED_TRACE(plain ? "per-pixel" : "fast");
        ImageHarness h(P().srgb, P().cmyk);
        h.job.m_bPlainPixelPath = plain;
        h.job.m_nThreads = 2;
        // Only the cancel request, as if it arrived inside row 4.
        h.hooks.onRow = [&](int rows) {
            if (rows == 4)
                h.job.m_bCancelRequested = true;
        };
        ASSERT_EQ(h.Convert(src, dir.file("cut.tif")), ImageOutcome::StoppedInRows);
        EXPECT_TRUE(h.message.empty());
        EXPECT_TRUE(h.hooks.messages.empty());
        EXPECT_EQ(h.hooks.rows, 5);
        EXPECT_TRUE(h.job.m_bStop);
        EXPECT_EQ(fx::FileDigest(dir.file("cut.tif")), before);
    }

    // Cancelled before the first pixel, or stopped before the first row:
    // nothing appears under the name.
    ImageHarness early(P().srgb, P().cmyk);
    early.job.m_bPlainPixelPath = true;
    early.job.m_bCancelRequested = true;
    ASSERT_EQ(early.Convert(src, dir.file("early.tif")), ImageOutcome::StoppedInRows);
    EXPECT_EQ(early.hooks.rows, 1);
    ImageHarness stopped(P().srgb, P().cmyk);
    stopped.job.m_bStop = true;
    EXPECT_EQ(stopped.Convert(src, dir.file("none.tif")), ImageOutcome::StoppedInRows);
    EXPECT_EQ(stopped.hooks.rows, 0);
    EXPECT_EQ(fx::ListFolder(dir.path()), (std::vector<std::string>{"cut.tif", "in.tif"}));
}

TEST(ImageConversion, AStripThatCannotBeDecodedStopsWithItsMessage) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::RgbSpec(32, 32);
    spec.rowsPerStrip = 8;
    spec.compression = fx::kCompressionLzw;
    const std::string src = WriteSource(dir.file("in.tif"), spec);
    // Damage the second half of the file: the strips there no longer decode.
    std::vector<unsigned char> bytes = fx::ReadFileBytes(src);
    const fx::TiffContents before = fx::ReadTiff(src);
    ASSERT_TRUE(before.ok);
    ASSERT_TRUE(fx::TruncateFile(src, bytes.size() * 2 / 3));
    ImageHarness h(P().srgb, P().cmyk);
    const ImageOutcome outcome = h.Convert(src, dir.file("out.tif"));
    if (outcome == ImageOutcome::FailedBeforeRows) {
        // libtiff may already refuse the directory of a file cut this short.
        ASSERT_EQ(h.hooks.messages.size(), 1u);
        return;
    }
    ASSERT_EQ(outcome, ImageOutcome::StoppedInRows);
    EXPECT_EQ(h.message, "Error: Source image must be 8-bit and only have standard layers.");
    EXPECT_GT(h.hooks.rows, 0);
    EXPECT_LT(h.hooks.rows, 32);
}
