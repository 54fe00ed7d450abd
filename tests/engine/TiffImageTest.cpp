#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "ConversionHarness.h"
#include "TempDir.h"
#include "TiffFixtures.h"
#include "TiffImage.h"

namespace {

std::vector<unsigned char> ReadAllRows(CTiffImage& img) {
    std::vector<unsigned char> all;
    std::vector<unsigned char> row(img.GetRowBytes());
    for (uint32_t r = 0; r < img.GetHeight(); ++r) {
        if (!img.ReadRow(row.data()))
            break;
        all.insert(all.end(), row.begin(), row.end());
    }
    return all;
}

void ExpectEmpty(const CTiffImage& img) {
    EXPECT_EQ(img.GetWidth(), 0u);
    EXPECT_EQ(img.GetHeight(), 0u);
    EXPECT_EQ(img.GetBitsPerSample(), 0);
    EXPECT_EQ(img.GetSamplesPerPixel(), 0);
}

} // namespace

TEST(TiffImage, ReadsEveryRowOfEveryStripLayout) {
    fx::TempDir dir;
    struct Case {
        const char* name;
        uint32_t rowsPerStrip;
        uint16_t compression;
    } cases[] = {
        {"one-row.tif", 1, fx::kCompressionNone},      {"sixteen.tif", 16, fx::kCompressionNone},
        {"lzw.tif", 7, fx::kCompressionLzw},           {"no-tag.tif", 0, fx::kCompressionNone},
        {"bogus-rps.tif", 5000, fx::kCompressionNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fx::TiffSpec spec = fx::RgbSpec(37, 100);
        spec.rowsPerStrip = c.rowsPerStrip;
        spec.compression = c.compression;
        spec.pixels = fx::PatternPixels(spec);
        ASSERT_TRUE(fx::WriteTiff(dir.file(c.name), spec));

        CTiffImage img;
        ASSERT_TRUE(img.OpenForRead(dir.file(c.name).c_str()));
        EXPECT_EQ(img.GetWidth(), 37u);
        EXPECT_EQ(img.GetHeight(), 100u);
        EXPECT_EQ(img.GetRowBytes(), 111u);
        EXPECT_EQ(ReadAllRows(img), spec.pixels);
        // Past the last row nothing is copied.
        std::vector<unsigned char> row(img.GetRowBytes(), 0xAB);
        EXPECT_FALSE(img.ReadRow(row.data()));
    }
}

TEST(TiffImage, AcceptsOnlyTopLeftInterleavedLayouts) {
    fx::TempDir dir;
    fx::TiffSpec plain = fx::RgbSpec(10, 3);
    plain.writeOrientationTag = false;
    plain.writePlanarTag = false;
    ASSERT_TRUE(fx::WriteTiff(dir.file("untagged.tif"), plain));
    CTiffImage img;
    EXPECT_TRUE(img.OpenForRead(dir.file("untagged.tif").c_str()));

    for (uint16_t orientation = 2; orientation <= 8; ++orientation) {
        fx::TiffSpec spec = fx::RgbSpec(10, 3);
        spec.orientation = orientation;
        ASSERT_TRUE(fx::WriteTiff(dir.file("o.tif"), spec));
        EXPECT_FALSE(img.OpenForRead(dir.file("o.tif").c_str())) << orientation;
        ExpectEmpty(img);
    }

    fx::TiffSpec separateGray = fx::GraySpec(10, 3);
    separateGray.planar = fx::kPlanarSeparate;
    ASSERT_TRUE(fx::WriteTiff(dir.file("sep1.tif"), separateGray));
    EXPECT_TRUE(img.OpenForRead(dir.file("sep1.tif").c_str()));

    fx::TiffSpec separateRgb = fx::RgbSpec(10, 3);
    separateRgb.planar = fx::kPlanarSeparate;
    ASSERT_TRUE(fx::WriteTiff(dir.file("sep3.tif"), separateRgb));
    EXPECT_FALSE(img.OpenForRead(dir.file("sep3.tif").c_str()));
    ExpectEmpty(img);

    // Tiles cannot be read by strips: refused before anything is created.
    fx::TiffSpec tiled = fx::RgbSpec(40, 40);
    tiled.tiled = true;
    ASSERT_TRUE(fx::WriteTiff(dir.file("tiled.tif"), tiled));
    EXPECT_FALSE(img.OpenForRead(dir.file("tiled.tif").c_str()));

    EXPECT_FALSE(img.OpenForRead(dir.file("missing.tif").c_str()));
    ExpectEmpty(img);
}

TEST(TiffImage, ReportsFieldsAndColourModels) {
    fx::TempDir dir;
    fx::TiffSpec bilevel = fx::GraySpec(10, 2);
    bilevel.bitsPerSample = 1;
    ASSERT_TRUE(fx::WriteTiff(dir.file("bw.tif"), bilevel));
    CTiffImage img;
    ASSERT_TRUE(img.OpenForRead(dir.file("bw.tif").c_str()));
    EXPECT_EQ(img.GetRowBytes(), 2u);
    EXPECT_EQ(img.GetBitsPerSample(), 1);

    fx::TiffSpec rgb = fx::RgbSpec(100, 2);
    rgb.xResolution = 300;
    rgb.yResolution = 150;
    ASSERT_TRUE(fx::WriteTiff(dir.file("rgb.tif"), rgb));
    ASSERT_TRUE(img.OpenForRead(dir.file("rgb.tif").c_str()));
    EXPECT_EQ(img.GetRowBytes(), 300u);
    EXPECT_EQ(img.GetColorModel(), TCM_ADDITIVE);
    EXPECT_FLOAT_EQ(img.GetXResolution(), 300);
    EXPECT_FLOAT_EQ(img.GetYResolution(), 150);

    // A file without resolution reports none, not the previous file's.
    ASSERT_TRUE(fx::WriteTiff(dir.file("nores.tif"), fx::RgbSpec(4, 2)));
    ASSERT_TRUE(img.OpenForRead(dir.file("nores.tif").c_str()));
    EXPECT_EQ(img.GetXResolution(), 0);

    EXPECT_EQ(CTiffImage::ColorModelOf(0), TCM_SUBTRACTIVE);
    EXPECT_EQ(CTiffImage::ColorModelOf(1), TCM_ADDITIVE);
    EXPECT_EQ(CTiffImage::ColorModelOf(2), TCM_ADDITIVE);
    EXPECT_EQ(CTiffImage::ColorModelOf(3), TCM_SUBTRACTIVE); // palette
    EXPECT_EQ(CTiffImage::ColorModelOf(5), TCM_SUBTRACTIVE);
    EXPECT_EQ(CTiffImage::ColorModelOf(6), TCM_SUBTRACTIVE); // YCbCr
    EXPECT_EQ(CTiffImage::ColorModelOf(8), TCM_LAB);
}

TEST(TiffImage, WritesTheLayoutAndTagsItWasGiven) {
    fx::TempDir dir;
    struct Case {
        TiffColorModel model;
        uint16_t samples;
        uint16_t photometric;
    } cases[] = {
        {TCM_ADDITIVE, 3, fx::kPhotometricRgb},
        {TCM_ADDITIVE, 1, fx::kPhotometricMinIsBlack},
        {TCM_SUBTRACTIVE, 4, fx::kPhotometricSeparated},
        {TCM_SUBTRACTIVE, 3, fx::kPhotometricMinIsWhite},
        {TCM_SUBTRACTIVE, 6, fx::kPhotometricMinIsWhite},
        {TCM_LAB, 3, fx::kPhotometricCieLab},
    };
    const std::vector<unsigned char> icc = {'i', 'c', 'c', 0, 1, 2, 3, 255};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.photometric);
        const std::string path = dir.file("out.tif");
        const bool embed = c.samples == 4;
        {
            CTiffImage out;
            ASSERT_TRUE(out.CreateForWrite(path.c_str(), 5, 3, 8, c.model, c.samples, 300, 300,
                                           embed ? icc.data() : nullptr,
                                           embed ? uint32_t(icc.size()) : 0));
            EXPECT_EQ(out.GetRowBytes(), 5u * c.samples);
            std::vector<unsigned char> row(out.GetRowBytes());
            for (int r = 0; r < 5; ++r) { // two rows more than the height
                memset(row.data(), 10 * r, row.size());
                EXPECT_TRUE(out.WriteRow(row.data()));
            }
            EXPECT_FALSE(out.ReadRow(row.data()));
            EXPECT_TRUE(out.Commit());
        }
        fx::TiffContents got = fx::ReadTiff(path);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(got.photometric, c.photometric);
        EXPECT_EQ(got.samplesPerPixel, c.samples);
        EXPECT_EQ(got.bitsPerSample, 8);
        EXPECT_EQ(got.compression, fx::kCompressionNone);
        EXPECT_EQ(got.rowsPerStrip, 1u);
        EXPECT_EQ(got.height, 3u);
        EXPECT_EQ(got.pixels.size(), 15u * c.samples);
        EXPECT_EQ(got.pixels.back(), 20);
        EXPECT_TRUE(got.hasXResolution);
        EXPECT_FLOAT_EQ(got.xResolution, 300);
        EXPECT_FALSE(got.hasResolutionUnit);
        EXPECT_EQ(got.hasIcc, embed);
        if (embed) {
            EXPECT_EQ(got.icc, icc);
        }
    }

    // No resolution in, none out.
    {
        CTiffImage out;
        ASSERT_TRUE(out.CreateForWrite(dir.file("nores.tif").c_str(), 2, 1, 8, TCM_ADDITIVE, 3, 0,
                                       0, nullptr, 0));
        const unsigned char row[6] = {};
        ASSERT_TRUE(out.WriteRow(row));
        ASSERT_TRUE(out.Commit());
    }
    fx::TiffContents nores = fx::ReadTiff(dir.file("nores.tif"));
    EXPECT_FALSE(nores.hasXResolution);
    EXPECT_FALSE(nores.hasYResolution);
}

// A destination is a hidden file until committed; closed without a commit
// it vanishes and leaves whatever had the name before.
TEST(TiffImage, AFileBeingWrittenAppearsOnlyWhenCommitted) {
    fx::TempDir dir;
    ASSERT_TRUE(fx::WriteTiff(dir.file("a.tif"), fx::RgbSpec(4, 2)));
    CTiffImage img;
    unsigned char row[64] = {};
    EXPECT_FALSE(img.ReadRow(row));
    EXPECT_FALSE(img.WriteRow(row));
    EXPECT_FALSE(img.Commit());
    ASSERT_TRUE(img.OpenForRead(dir.file("a.tif").c_str()));
    EXPECT_FALSE(img.WriteRow(row));
    EXPECT_FALSE(img.Commit());

    // Nothing under the final name while rows are written.
    ASSERT_TRUE(img.CreateForWrite(dir.file("first.tif").c_str(), 4, 2, 8, TCM_ADDITIVE, 3, 0, 0,
                                   nullptr, 0));
    EXPECT_FALSE(img.ReadRow(row));
    ASSERT_TRUE(img.WriteRow(row));
    const std::vector<std::string> writing = fx::ListFolder(dir.path());
    ASSERT_EQ(writing.size(), 2u);
    EXPECT_EQ(writing[0].rfind(".first.tif.", 0), 0u);
    EXPECT_EQ(writing[0].substr(writing[0].size() - 4), ".tmp");
    ASSERT_TRUE(img.WriteRow(row));
    ASSERT_TRUE(img.Commit());
    EXPECT_TRUE(fx::ReadTiff(dir.file("first.tif")).ok);

    // Replacing a file keeps its permission bits; abandoning keeps the file.
    ASSERT_TRUE(fx::WriteFileBytes(dir.file("second.tif"), {'o', 'l', 'd'}));
    ASSERT_EQ(chmod(dir.file("second.tif").c_str(), 0640), 0);
    const std::string old = fx::FileDigest(dir.file("second.tif"));
    ASSERT_TRUE(img.CreateForWrite(dir.file("second.tif").c_str(), 4, 1, 8, TCM_ADDITIVE, 3, 0, 0,
                                   nullptr, 0));
    ASSERT_TRUE(img.WriteRow(row));
    img.Close();
    EXPECT_EQ(fx::FileDigest(dir.file("second.tif")), old);
    ASSERT_TRUE(img.CreateForWrite(dir.file("second.tif").c_str(), 4, 1, 8, TCM_ADDITIVE, 3, 0, 0,
                                   nullptr, 0));
    ASSERT_TRUE(img.WriteRow(row));
    ASSERT_TRUE(img.Commit());
    struct stat st;
    ASSERT_EQ(stat(dir.file("second.tif").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(fx::ReadTiff(dir.file("second.tif")).ok);

    // A destination that cannot be created leaves the object empty of files.
    EXPECT_FALSE(img.CreateForWrite(dir.file("no/such/folder.tif").c_str(), 4, 2, 8, TCM_LAB, 3, 0,
                                    0, nullptr, 0));
    EXPECT_EQ(img.GetWidth(), 4u);
    EXPECT_EQ(img.GetPhotometric(), fx::kPhotometricCieLab);
    EXPECT_FALSE(img.WriteRow(row));
    EXPECT_EQ(fx::ListFolder(dir.path()),
              (std::vector<std::string>{"a.tif", "first.tif", "second.tif"}));
}

TEST(TiffImage, HostileFilesNeverReadOutsideTheirStrip) {
    fx::TempDir dir;
    CTiffImage img;

    // Cut in the middle of the pixel data.
    fx::TiffSpec big = fx::RgbSpec(64, 64);
    big.rowsPerStrip = 8;
    ASSERT_TRUE(fx::WriteTiff(dir.file("cut.tif"), big));
    const std::vector<unsigned char> whole = fx::ReadFileBytes(dir.file("cut.tif"));
    ASSERT_TRUE(fx::TruncateFile(dir.file("cut.tif"), whole.size() / 2));
    if (img.OpenForRead(dir.file("cut.tif").c_str())) {
        std::vector<unsigned char> row(img.GetRowBytes());
        uint32_t good = 0;
        while (good < img.GetHeight() && img.ReadRow(row.data()))
            ++good;
        EXPECT_LT(good, 64u);
    }

    // Chroma-subsampled YCbCr decodes to fewer bytes than rows x row size.
    fx::TiffSpec jpeg = fx::RgbSpec(32, 32);
    jpeg.compression = fx::kCompressionJpeg;
    jpeg.rowsPerStrip = 16;
    if (fx::WriteTiff(dir.file("ycbcr.tif"), jpeg) &&
        img.OpenForRead(dir.file("ycbcr.tif").c_str())) {
        std::vector<unsigned char> row(img.GetRowBytes());
        uint32_t good = 0;
        while (good < img.GetHeight() && img.ReadRow(row.data()))
            ++good;
        EXPECT_LT(good, 32u);
    }

    // Not a TIFF at all, and an empty file.
    ASSERT_TRUE(fx::WriteFileBytes(dir.file("text.tif"), {'h', 'e', 'l', 'l', 'o'}));
    EXPECT_FALSE(img.OpenForRead(dir.file("text.tif").c_str()));
    ASSERT_TRUE(fx::WriteFileBytes(dir.file("empty.tif"), {}));
    EXPECT_FALSE(img.OpenForRead(dir.file("empty.tif").c_str()));
    ExpectEmpty(img);
}
