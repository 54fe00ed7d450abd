#include <fcntl.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TiffMetadata.h"

namespace {

constexpr uint32_t kWidth = 5, kHeight = 9, kRowBytes = kWidth * 3;
constexpr uint32_t kPrivateExifTag = 65000; // unknown to libtiff
const std::vector<unsigned char> kXmp = {'<', 'x', ':', 'x', 'm', 'p', '/', '>'};
const std::vector<unsigned char> kIptc = {0x1C, 0x02, 0x05, 0x00, 0x03, 'S', 'e', 'a'};
const std::vector<unsigned char> kOldIcc(132, 0x11), kNewIcc(140, 0x22);
const std::pair<uint32_t, const char*> kTexts[] = {{TIFFTAG_DATETIME, "2024:05:01 10:20:30"},
                                                   {TIFFTAG_ARTIST, "Ann"},
                                                   {TIFFTAG_SOFTWARE, "Scan"},
                                                   {TIFFTAG_IMAGEDESCRIPTION, "Harbour"},
                                                   {TIFFTAG_COPYRIGHT, "(c) Ann"}};

enum class Exif { None, Good, BadOffset };
struct Case {
    const char* name;
    const char *sourceMode, *destMode; // classic or BigTIFF ("8"), big-endian ("b")
    bool deflate, texts;
    Exif exif;
};

std::vector<unsigned char> Row(uint32_t r) {
    std::vector<unsigned char> row(kRowBytes);
    for (uint32_t i = 0; i < kRowBytes; ++i)
        row[i] = static_cast<unsigned char>(r * 37 + i * 11);
    return row;
}

// No planar configuration and no vertical resolution, as a destination may
// have: read back, the directory gains tags it was written without.
void SetImageTags(TIFF* tif, bool deflate, const std::vector<unsigned char>& icc) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, deflate ? 4u : 1u);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
    if (deflate)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.data());
}

// The EXIF directory goes first, while the file holds nothing else, so that
// the source is made without the rewriting the code under test does.
void WriteSource(const std::string& path, const Case& c) {
    TIFF* tif = TIFFOpen(path.c_str(), c.sourceMode);
    ASSERT_TRUE(tif);
    uint64_t exifOffset = 0xFFFFFF00; // past the end of the file
    if (c.exif == Exif::Good) {
        ASSERT_EQ(TIFFCreateEXIFDirectory(tif), 0);
        static const TIFFFieldInfo privateTag = {
            kPrivateExifTag, 1, 1, TIFF_LONG, FIELD_CUSTOM, 1, 0, const_cast<char*>("Private")};
        TIFFMergeFieldInfo(tif, &privateTag, 1);
        const uint16_t iso[] = {100, 400};
        const uint16_t subject[] = {2, 3};
        TIFFSetField(tif, EXIFTAG_EXPOSURETIME, 1.0 / 125);
        TIFFSetField(tif, EXIFTAG_DATETIMEORIGINAL, "2024:05:01 10:20:30");
        TIFFSetField(tif, EXIFTAG_ISOSPEEDRATINGS, 2, iso);
        TIFFSetField(tif, EXIFTAG_EXIFVERSION, "0231");
        TIFFSetField(tif, EXIFTAG_SUBJECTLOCATION, subject);
        TIFFSetField(tif, EXIFTAG_EXPOSUREBIASVALUE, -0.5);
        TIFFSetField(tif, EXIFTAG_EXPOSUREPROGRAM, 3);
        TIFFSetField(tif, EXIFTAG_COLORSPACE, 1);
        TIFFSetField(tif, kPrivateExifTag, 42u);
        ASSERT_TRUE(TIFFWriteCustomDirectory(tif, &exifOffset));
        TIFFFreeDirectory(tif);
        TIFFCreateDirectory(tif);
    }
    SetImageTags(tif, false, kOldIcc);
    const float whitePoint[] = {0.31f, 0.33f}, primaries[] = {0.6f, 0.3f, 0.3f, 0.6f, 0.1f, 0.1f};
    std::vector<uint16_t> curve(256, 1000);
    TIFFSetField(tif, TIFFTAG_WHITEPOINT, whitePoint);
    TIFFSetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, primaries);
    TIFFSetField(tif, TIFFTAG_TRANSFERFUNCTION, curve.data(), curve.data(), curve.data());
    if (c.texts) {
        TIFFSetField(tif, TIFFTAG_XMLPACKET, uint32_t(kXmp.size()), kXmp.data());
        TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, uint32_t(kIptc.size()), kIptc.data());
        for (const auto& [tag, text] : kTexts)
            TIFFSetField(tif, tag, text);
    }
    if (c.exif != Exif::None)
        TIFFSetField(tif, TIFFTAG_EXIFIFD, exifOffset);
    for (uint32_t r = 0; r < kHeight; ++r)
        ASSERT_EQ(TIFFWriteScanline(tif, Row(r).data(), r, 0), 1);
    TIFFClose(tif);
}

// Read, then the destination as a conversion writes it: image tags, ApplyTo,
// rows taken from the source, Finish.
void Convert(const std::string& from, const std::string& to, const Case& c) {
    TIFF* src = TIFFOpen(from.c_str(), "rm");
    ASSERT_TRUE(src);
    CTiffMetadata meta;
    EXPECT_EQ(meta.Read(src), c.exif != Exif::BadOffset);
    EXPECT_EQ(meta.Empty(), !c.texts && c.exif != Exif::Good);
    const int fd = open(to.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    TIFF* dst = TIFFFdOpen(fd, to.c_str(), c.destMode);
    ASSERT_TRUE(dst);
    SetImageTags(dst, c.deflate, kNewIcc);
    meta.ApplyTo(dst);
    std::vector<unsigned char> row(kRowBytes);
    for (uint32_t r = 0; r < kHeight; ++r) {
        ASSERT_TRUE(TIFFReadScanline(src, row.data(), r, 0) == 1 && row == Row(r)) << "row " << r;
        ASSERT_GE(c.deflate ? TIFFWriteScanline(dst, row.data(), r, 0)
                            : TIFFWriteEncodedStrip(dst, r, row.data(), kRowBytes),
                  0);
    }
    EXPECT_TRUE(meta.Finish(dst));
    EXPECT_EQ(TIFFFlush(dst), 1) << "what closing does must not fail";
    TIFFClose(dst);
    TIFFClose(src);
}

std::vector<unsigned char> Bytes(TIFF* tif, uint32_t tag) {
    uint32_t count = 0;
    const unsigned char* data = nullptr;
    if (!TIFFGetField(tif, tag, &count, &data))
        return {};
    return std::vector<unsigned char>(data, data + count);
}

void ExpectExifCopied(TIFF* tif) {
    float exposure = 0, bias = 0;
    const char* taken = "";
    const uint16_t *iso = nullptr, *subject = nullptr;
    const void* version = nullptr;
    uint16_t isoCount = 0, program = 0, colorSpace = 0;
    ASSERT_TRUE(TIFFGetField(tif, EXIFTAG_EXPOSURETIME, &exposure) &&
                TIFFGetField(tif, EXIFTAG_DATETIMEORIGINAL, &taken) &&
                TIFFGetField(tif, EXIFTAG_ISOSPEEDRATINGS, &isoCount, &iso) &&
                TIFFGetField(tif, EXIFTAG_EXIFVERSION, &version) &&
                TIFFGetField(tif, EXIFTAG_SUBJECTLOCATION, &subject) &&
                TIFFGetField(tif, EXIFTAG_EXPOSUREBIASVALUE, &bias) &&
                TIFFGetField(tif, EXIFTAG_EXPOSUREPROGRAM, &program));
    EXPECT_FLOAT_EQ(exposure, 1.0f / 125);
    EXPECT_STREQ(taken, "2024:05:01 10:20:30");
    EXPECT_EQ(std::vector<uint16_t>(iso, iso + isoCount), (std::vector<uint16_t>{100, 400}));
    EXPECT_EQ(std::memcmp(version, "0231", 4), 0);
    EXPECT_EQ(std::vector<uint16_t>(subject, subject + 2), (std::vector<uint16_t>{2, 3}));
    EXPECT_EQ(bias, -0.5f);
    EXPECT_EQ(program, 3);
    EXPECT_FALSE(TIFFGetField(tif, EXIFTAG_COLORSPACE, &colorSpace));
    EXPECT_EQ(TIFFGetTagListCount(tif), 7) << "the colour space and the private tag stay behind";
}

void ExpectDestination(const std::string& path, const Case& c) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_TRUE(tif);
    EXPECT_EQ(TIFFNumberOfDirectories(tif), 1);
    std::vector<unsigned char> row(kRowBytes);
    for (uint32_t r = 0; r < kHeight; ++r)
        EXPECT_TRUE(TIFFReadScanline(tif, row.data(), r, 0) == 1 && row == Row(r)) << "row " << r;
    float resolution = 0;
    EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution) && resolution == 300.0f);
    EXPECT_EQ(Bytes(tif, TIFFTAG_ICCPROFILE), kNewIcc);
    void *a = nullptr, *b = nullptr, *d = nullptr;
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_WHITEPOINT, &a));
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, &a));
    EXPECT_FALSE(TIFFGetField(tif, TIFFTAG_TRANSFERFUNCTION, &a, &b, &d));
    EXPECT_EQ(Bytes(tif, TIFFTAG_XMLPACKET), c.texts ? kXmp : std::vector<unsigned char>{});
    EXPECT_EQ(Bytes(tif, TIFFTAG_RICHTIFFIPTC), c.texts ? kIptc : std::vector<unsigned char>{});
    for (const auto& [tag, text] : kTexts) {
        const char* got = "";
        EXPECT_EQ(TIFFGetField(tif, tag, &got) == 1, c.texts) << "tag " << tag;
        EXPECT_STREQ(got, c.texts ? text : "");
    }
    uint64_t exifOffset = 0;
    ASSERT_EQ(TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifOffset) == 1, c.exif == Exif::Good);
    if (c.exif == Exif::Good) {
        ASSERT_TRUE(TIFFReadEXIFDirectory(tif, exifOffset));
        ExpectExifCopied(tif);
    }
    TIFFClose(tif);
}

} // namespace

TEST(TiffMetadata, KeepsWhatDescribesTheImageAndDropsWhatDescribesItsColours) {
    fx::TempDir dir;
    const Case cases[] = {
        {"classic strips", "w", "w", false, true, Exif::Good},
        {"BigTIFF strips", "w", "w8", false, true, Exif::Good},
        {"classic deflate", "w", "w", true, true, Exif::Good},
        {"BigTIFF deflate from BigTIFF", "w8", "w8", true, true, Exif::Good},
        {"big-endian, EXIF alone", "wb", "wb", false, false, Exif::Good},
        {"big-endian BigTIFF deflate", "w", "w8b", true, true, Exif::Good},
        {"no EXIF", "w", "w", true, true, Exif::None},
        {"unreadable EXIF", "w", "w8", true, true, Exif::BadOffset},
        {"nothing to keep", "w", "w8", false, false, Exif::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string from = dir.file("source.tif"), to = dir.file("dest.tif");
        WriteSource(from, c);
        Convert(from, to, c);
        ExpectDestination(to, c);
    }
}
