#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ConversionHarness.h"
#include "IccCmm.h"
#include "ProfileFixtures.h"
#include "RowPipeline.h"
#include "TempDir.h"
#include "TiffFixtures.h"

namespace {

// Noise with flat patches: every third row block repeats one colour, so the
// runs, the cache and the misses all take their turn.
fx::TiffSpec Mixed(fx::TiffSpec spec) {
    spec.pixels = fx::PatternPixels(spec, 7);
    const size_t rowBytes = fx::RowBytes(spec);
    const size_t pixelBytes = spec.samplesPerPixel;
    for (uint32_t y = 0; y < spec.height; ++y) {
        if ((y / 3) % 3 != 0)
            continue;
        unsigned char* row = &spec.pixels[y * rowBytes];
        for (size_t x = pixelBytes; x + pixelBytes <= rowBytes / 2; x += pixelBytes)
            memcpy(row + x, row, pixelBytes);
    }
    return spec;
}

std::vector<unsigned char> ConvertWith(const std::string& src, const std::string& dst,
                                       const std::string& srcProfile, const std::string& dstProfile,
                                       bool plain, unsigned threads, int intent = 2,
                                       TiffCompression compression = kCompressNone) {
    ImageHarness h(srcProfile, dstProfile, intent);
    h.job.m_bPlainPixelPath = plain;
    h.job.m_nCompression = compression;
    h.job.m_nThreads = threads;
    EXPECT_EQ(h.Convert(src, dst), ImageOutcome::Converted);
    return fx::ReadFileBytes(dst);
}

} // namespace

TEST(FastPath, WritesExactlyTheBytesOfThePerPixelLoop) {
    fx::TempDir dir;
    fx::TiffSpec lzw = fx::RgbSpec(97, 41);
    lzw.compression = fx::kCompressionLzw;
    lzw.rowsPerStrip = 8;
    fx::TiffSpec whiteIsZero = fx::GraySpec(31, 9, 1);
    whiteIsZero.photometric = fx::kPhotometricMinIsWhite;
    fx::TiffSpec rgba = fx::RgbSpec(43, 11), cmyka = fx::CmykSpec(37, 9);
    rgba.samplesPerPixel = 4;
    cmyka.samplesPerPixel = 5;
    rgba.extraSamples = cmyka.extraSamples = 1;
    fx::TiffSpec bigRgba = rgba;
    bigRgba.width = 1024;
    bigRgba.height = 260;
    struct Case {
        const char* name;
        fx::TiffSpec spec;
        std::string from, to;
        int intent;
        TiffCompression compression = kCompressNone;
    } cases[] = {
        {"rgb-cmyk", Mixed(fx::RgbSpec(131, 37)), P().srgb, P().cmyk, 2},
        {"rgb-cmyk-perceptual", Mixed(fx::RgbSpec(64, 20)), P().srgb, P().cmyk, 1},
        {"lzw-rgb-6ink", Mixed(lzw), P().srgb, P().ink6, 3},
        {"gray3-rgb", Mixed(fx::GraySpec(33, 17, 3)), P().srgb, P().srgb, 0},
        {"lab-lab", Mixed(fx::LabSpec(77, 23)), P().lab, P().lab, 2},
        {"lab-cmyk", Mixed(fx::LabSpec(77, 23)), P().lab, P().cmyk, 2},
        {"lab-via-xyz", Mixed(fx::LabSpec(51, 19)), P().xyz, P().xyz, 2},
        {"rgb-xyz", Mixed(fx::RgbSpec(51, 19)), P().srgb, P().xyz, 2},
        {"cmyk-rgb", Mixed(fx::CmykSpec(45, 21)), P().cmyk, P().srgb, 2},
        {"6ink-rgb", Mixed(fx::InkSpec(29, 13, 6)), P().ink6, P().srgb, 2},
        {"one-pixel", fx::RgbSpec(1, 1), P().srgb, P().cmyk, 2},
        {"gray-rgb", Mixed(fx::GraySpec(39, 13, 1)), P().gray, P().srgb, 2},
        {"whiteiszero-gray", Mixed(whiteIsZero), P().gray, P().gray, 1},
        {"rgb-gray", Mixed(fx::RgbSpec(41, 7)), P().srgb, P().gray, 2},
        {"rgba-cmyka", Mixed(rgba), P().srgb, P().cmyk, 2},
        {"cmyka-rgba-deflate", Mixed(cmyka), P().cmyk, P().srgb, 2, kCompressDeflate},
        {"rgb-cmyk-lzw", Mixed(fx::RgbSpec(61, 90)), P().srgb, P().cmyk, 2, kCompressLzw},
        {"lab-lab-zstd", Mixed(fx::LabSpec(33, 17)), P().lab, P().lab, 2, kCompressZstd},
        // Large enough for the evaluator and the shared table.
        {"big-rgb-cmyk", Mixed(fx::RgbSpec(1024, 520)), P().srgb, P().cmyk, 1},
        {"big-cmyk-rgb", Mixed(fx::CmykSpec(1024, 520)), P().cmyk, P().srgb, 1},
        {"big-gray-rgb", Mixed(fx::GraySpec(1024, 260, 1)), P().gray, P().srgb, 2},
        {"big-rgba-cmyka", Mixed(bigRgba), P().srgb, P().cmyk, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string src = dir.file(std::string(c.name) + ".tif");
        ASSERT_TRUE(fx::WriteTiff(src, c.spec));
        const auto plain =
            ConvertWith(src, dir.file("plain.tif"), c.from, c.to, true, 1, c.intent, c.compression);
        ASSERT_FALSE(plain.empty());
        for (unsigned threads : {1u, 2u, 3u}) {
            const auto fast = ConvertWith(src, dir.file("fast.tif"), c.from, c.to, false, threads,
                                          c.intent, c.compression);
            EXPECT_TRUE(fast == plain) << threads << " threads";
        }
    }
}

TEST(FastPath, AFullCacheStillGivesExactBytes) {
    fx::TempDir dir;
    fx::TiffSpec spec = Mixed(fx::RgbSpec(500, 1));
    CIccCmm cmm;
    ASSERT_EQ(cmm.AddXform(P().srgb.c_str(), icRelativeColorimetric), icCmmStatOk);
    ASSERT_EQ(cmm.AddXform(P().cmyk.c_str()), icCmmStatOk);
    ASSERT_EQ(cmm.Begin(), icCmmStatOk);
    const PixelLayout layout{TCM_ADDITIVE, 3, false, TCM_SUBTRACTIVE, 4, false};
    std::vector<unsigned char> expected(500 * 4);
    for (uint32_t x = 0; x < 500; ++x) {
        icFloatNumber v[icMaxChannels];
        DecodePixel(layout, &spec.pixels[x * 3], v);
        cmm.Apply(v, v);
        EncodePixel(layout, v, &expected[x * 4]);
    }
    CConversionJob job;
    CRowPipeline::WorkerState tiny(500, 2); // four slots: constant collisions
    // Room to spare after each row, as the pipeline gives its buffers.
    std::vector<unsigned char> in = spec.pixels, out(500 * 4 + 8);
    in.resize(in.size() + 8, 0xCC);
    for (int pass = 0; pass < 3; ++pass) {
        std::fill(out.begin(), out.end(), 0xEE);
        ASSERT_TRUE(CRowPipeline::ConvertRow(job, cmm, layout, 500, in.data(), out.data(), tiny));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin())) << "pass " << pass;
    }
    job.m_bCancelRequested = true;
    EXPECT_FALSE(CRowPipeline::ConvertRow(job, cmm, layout, 500, in.data(), out.data(), tiny));
}

// The evaluator and the shared tables on every layout, row by row: each row
// twice, so that the second pass takes every colour from the table.
TEST(FastPath, TheEvaluatorAndTheSharedTablesGiveExactBytes) {
    const PixelLayout rgb{TCM_ADDITIVE, 3, false, TCM_SUBTRACTIVE, 4, false};
    struct Case {
        const char* name;
        fx::TiffSpec spec;
        std::string from, to;
        icRenderingIntent intent;
        PixelLayout layout;
        bool evaluator; // whether one is expected
    } cases[] = {
        {"rgb-cmyk", Mixed(fx::RgbSpec(300, 6)), P().srgb, P().cmyk, 1, rgb, true},
        {"rgb-cmyk-perceptual", Mixed(fx::RgbSpec(300, 6)), P().srgb, P().cmyk, 0, rgb, true},
        {"rgb-6ink",
         Mixed(fx::RgbSpec(200, 6)),
         P().srgb,
         P().ink6,
         3,
         {TCM_ADDITIVE, 3, false, TCM_SUBTRACTIVE, 6, false},
         true},
        {"rgb-rgb",
         Mixed(fx::RgbSpec(200, 6)),
         P().srgb,
         P().srgb,
         0,
         {TCM_ADDITIVE, 3, false, TCM_ADDITIVE, 3, false},
         true},
        {"gray-rgb",
         Mixed(fx::GraySpec(200, 6, 1)),
         P().gray,
         P().srgb,
         1,
         {TCM_ADDITIVE, 1, false, TCM_ADDITIVE, 3, false},
         true},
        {"lab-lab",
         Mixed(fx::LabSpec(200, 6)),
         P().lab,
         P().lab,
         1,
         {TCM_LAB, 3, false, TCM_LAB, 3, false},
         true},
        {"lab-cmyk",
         Mixed(fx::LabSpec(200, 6)),
         P().lab,
         P().cmyk,
         1,
         {TCM_LAB, 3, false, TCM_SUBTRACTIVE, 4, false},
         true},
        {"lab-via-xyz",
         Mixed(fx::LabSpec(200, 6)),
         P().xyz,
         P().xyz,
         1,
         {TCM_LAB, 3, true, TCM_LAB, 3, true},
         false},
        {"rgb-xyz",
         Mixed(fx::RgbSpec(200, 6)),
         P().srgb,
         P().xyz,
         1,
         {TCM_ADDITIVE, 3, false, TCM_LAB, 3, true},
         true},
        {"cmyk-rgb",
         Mixed(fx::CmykSpec(200, 6)),
         P().cmyk,
         P().srgb,
         1,
         {TCM_SUBTRACTIVE, 4, false, TCM_ADDITIVE, 3, false},
         true},
        {"6ink-rgb",
         Mixed(fx::InkSpec(200, 6, 6)),
         P().ink6,
         P().srgb,
         1,
         {TCM_SUBTRACTIVE, 6, false, TCM_ADDITIVE, 3, false},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CIccCmm cmm;
        ASSERT_EQ(cmm.AddXform(c.from.c_str(), c.intent), icCmmStatOk);
        ASSERT_EQ(cmm.AddXform(c.to.c_str()), icCmmStatOk);
        ASSERT_EQ(cmm.Begin(), icCmmStatOk);
        const PixelLayout& layout = c.layout;
        const uint32_t width = c.spec.width;
        const size_t ns = size_t(layout.sourceSamples), nd = size_t(layout.destSamples);
        const auto eval = MakeFastEvalFor(cmm, layout);
        ASSERT_EQ(eval != nullptr, c.evaluator);
        const bool dense = ns == 3 && nd <= 4;
        const auto table = dense ? CDenseColourTable::Make() : nullptr;
        ASSERT_EQ(table != nullptr, dense);
        const bool packed = !dense && CPackedColourCache::Fits(int(ns), int(nd));
        const auto shared = packed ? CPackedColourCache::Make(int(ns)) : nullptr;
        ASSERT_EQ(shared != nullptr, packed);
        CRowPipeline::WorkerState state(width, 4);
        state.eval = eval.get();
        state.dense = table.get();
        state.packed = shared.get();
        CConversionJob job;
        for (int pass = 0; pass < 2; ++pass) {
            for (uint32_t y = 0; y < c.spec.height; ++y) {
                const unsigned char* row = &c.spec.pixels[y * width * ns];
                std::vector<unsigned char> in(row, row + width * ns), want(width * nd);
                std::vector<unsigned char> got(width * nd + 8, 0xEE);
                in.resize(in.size() + 8, 0xCC);
                for (uint32_t x = 0; x < width; ++x) {
                    icFloatNumber v[icMaxChannels];
                    DecodePixel(layout, &in[x * ns], v);
                    cmm.Apply(v, v);
                    EncodePixel(layout, v, &want[x * nd]);
                }
                ASSERT_TRUE(CRowPipeline::ConvertRow(job, cmm, layout, width, in.data(), got.data(),
                                                     state));
                ASSERT_TRUE(std::equal(want.begin(), want.end(), got.begin()))
                    << "pass " << pass << " row " << y;
            }
        }
    }
}

// Workers may have converted rows beyond it, but a cancel counts and stops
// after the row in progress, as the per-pixel loop does.
TEST(FastPath, ACancelStopsAfterTheRowInProgress) {
    fx::TempDir dir;
    fx::TiffSpec spec = Mixed(fx::RgbSpec(200, 300));
    const std::string src = dir.file("in.tif");
    ASSERT_TRUE(fx::WriteTiff(src, spec));

    for (unsigned threads : {1u, 2u, 4u}) {
        ImageHarness h(P().srgb, P().cmyk);
        h.job.m_nThreads = threads;
        h.hooks.onRow = [&](int rows) {
            if (rows == 10)
                h.job.m_bCancelRequested = true;
        };
        ASSERT_EQ(h.Convert(src, dir.file("cut.tif")), ImageOutcome::StoppedInRows);
        EXPECT_EQ(h.hooks.rows, 11);
        EXPECT_TRUE(h.message.empty());
    }

    // A cancel from another thread, as the Cancel button sends it.
    ImageHarness h(P().srgb, P().cmyk);
    std::atomic<bool> go{false};
    h.hooks.onRow = [&](int rows) {
        if (rows == 50)
            go = true;
    };
    std::thread canceller([&] {
        while (!go)
            std::this_thread::yield();
        h.job.RequestCancel();
    });
    ASSERT_EQ(h.Convert(src, dir.file("cut2.tif")), ImageOutcome::StoppedInRows);
    canceller.join();
    EXPECT_GE(h.hooks.rows, 50);
    EXPECT_LT(h.hooks.rows, 300);
    EXPECT_EQ(fx::ListFolder(dir.path()), std::vector<std::string>{"in.tif"});
}

TEST(FastPath, AnUnreadableStripStopsAtTheSameRowAsThePerPixelLoop) {
    fx::TempDir dir;
    fx::TiffSpec spec = fx::RgbSpec(64, 64);
    spec.rowsPerStrip = 8;
    spec.compression = fx::kCompressionLzw;
    const std::string src = dir.file("in.tif");
    ASSERT_TRUE(fx::WriteTiff(src, spec));
    ASSERT_TRUE(fx::TruncateFile(src, fx::ReadFileBytes(src).size() * 2 / 3));
    ImageHarness plain(P().srgb, P().cmyk), fast(P().srgb, P().cmyk);
    plain.job.m_bPlainPixelPath = true;
    fast.job.m_nThreads = 2;
    const ImageOutcome a = plain.Convert(src, dir.file("plain.tif"));
    const ImageOutcome b = fast.Convert(src, dir.file("fast.tif"));
    EXPECT_EQ(a, b);
    EXPECT_EQ(plain.message, fast.message);
    EXPECT_EQ(plain.hooks.rows, fast.hooks.rows);
    EXPECT_EQ(fx::ListFolder(dir.path()), std::vector<std::string>{"in.tif"});
}
