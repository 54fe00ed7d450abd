// Every way a TIFF file may store its pixels: tiles, separate planes, JPEG-compressed YCbCr,
// rotated rows, extra channels of every kind. Each converts to the bytes its pixels give when
// stored as plain strips, with its extra channels carried and its orientation kept.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "RequireProfile.h"
#include "Support.h"

namespace {

// The image's colour samples alone, divided by their alpha when it is associated: with the
// largest level M, c * M / a rounded to the nearest, clipped; 0 where a is 0.
ts::Tiff ColourOnly(const ts::Tiff& t, const ts::Bytes& pixels, int colours, int alpha) {
    ts::Tiff plain;
    plain.width = t.width, plain.height = t.height, plain.bits = t.bits;
    plain.samples = uint16_t(colours), plain.photometric = t.photometric == 6 ? 2 : t.photometric;
    plain.inkSet = t.inkSet;
    const uint64_t top = t.bits == 16 ? 65535 : 255;
    for (size_t at = 0; at < pixels.size() / (t.bits / 8); at += t.samples)
        for (int c = 0; c < colours; ++c) {
            uint64_t v = ts::Sample(pixels, at + c, t.bits);
            if (alpha >= 0) {
                const uint64_t a = ts::Sample(pixels, at + colours + alpha, t.bits);
                v = a ? std::min(top, (2 * v * top + a) / (2 * a)) : 0;
            }
            ts::Append(plain.pixels, uint32_t(v), t.bits);
        }
    return plain;
}

// Converted colour with the source's extra samples after it, the colour multiplied by the
// associated alpha again: o * a / M rounded to the nearest.
ts::Bytes WithExtras(const ts::Bytes& colour, int outColours, const ts::Bytes& source,
                     const ts::Tiff& t, int colours, int alpha) {
    const int extras = t.samples - colours;
    const uint64_t top = t.bits == 16 ? 65535 : 255;
    ts::Bytes out;
    for (size_t p = 0; p < size_t(t.width) * t.height; ++p) {
        const size_t at = p * t.samples;
        const uint64_t a = alpha >= 0 ? ts::Sample(source, at + colours + alpha, t.bits) : top;
        for (int c = 0; c < outColours; ++c)
            ts::Append(
                out, uint32_t((ts::Sample(colour, p * outColours + c, t.bits) * a + top / 2) / top),
                t.bits);
        for (int e = 0; e < extras; ++e)
            ts::Append(out, ts::Sample(source, at + colours + e, t.bits), t.bits);
    }
    return out;
}

} // namespace

TEST(Layout, EveryStorageGivesThePlainStripsBytes) {
    ts::Scratch dir;
    const std::string srgb = ts::RequireProfile("sRGB.icc");
    const std::string cmyk = ts::MakeProfile(dir.path(), ts::InkTables(4), "cmyk.icc");
    const std::string gray = ts::MakeProfile(dir.path(), ts::Builtin::Gray);
    using Edit = std::function<void(ts::Tiff&)>;
    const auto rgb = [](ts::Tiff&) {};
    const auto inks = [](ts::Tiff& t) { t.photometric = 5, t.samples = 4; };
    struct Case {
        const char* name;
        Edit space, layout;
        std::string from, to;
        int colours, alpha = -1; // alpha: the extra sample that premultiplies, if any
        bool sixteen = true;     // also at 16 bits
    } cases[] = {
        {"tiles", rgb, [](ts::Tiff& t) { t.tiled = true, t.compression = 8; }, srgb, cmyk, 3},
        {"cmyk tiles", inks, [](ts::Tiff& t) { t.tiled = true; }, cmyk, srgb, 4},
        {"tiled planes", rgb, [](ts::Tiff& t) { t.tiled = true, t.planar = 2; }, srgb, cmyk, 3},
        {"planes in strips", inks,
         [](ts::Tiff& t) { t.planar = 2, t.rowsPerStrip = 5, t.compression = 5; }, cmyk, srgb, 4},
        {"planes in one strip", rgb, [](ts::Tiff& t) { t.planar = 2, t.rowsPerStrip = 0; }, srgb,
         cmyk, 3},
        {"rotated", rgb, [](ts::Tiff& t) { t.orientation = 6; }, srgb, cmyk, 3},
        {"JPEG YCbCr", rgb, [](ts::Tiff& t) { t.photometric = 6, t.compression = 7; }, srgb, cmyk,
         3, -1, false},
        {"tiled JPEG YCbCr", rgb,
         [](ts::Tiff& t) { t.photometric = 6, t.compression = 7, t.tiled = true; }, srgb, cmyk, 3,
         -1, false},
        {"grey and alpha", [](ts::Tiff& t) { t.photometric = 1, t.samples = 2; },
         [](ts::Tiff& t) { t.extraSamples = 1; }, gray, srgb, 1},
        {"alpha and a mask", [](ts::Tiff& t) { t.samples = 5; },
         [](ts::Tiff& t) {
             t.extraSamples = 2, t.extraKinds = {2, 0};
         },
         srgb, cmyk, 3},
        {"CMYK and a spot colour, untagged", [](ts::Tiff& t) { t.photometric = 5, t.samples = 5; },
         [](ts::Tiff&) {}, cmyk, srgb, 4},
        {"premultiplied", [](ts::Tiff& t) { t.samples = 4; },
         [](ts::Tiff& t) { t.extraSamples = 1, t.associatedAlpha = true; }, srgb, cmyk, 3, 0},
        {"premultiplied, then a mask", [](ts::Tiff& t) { t.photometric = 5, t.samples = 6; },
         [](ts::Tiff& t) {
             t.extraSamples = 2, t.extraKinds = {0, 1};
         },
         cmyk, srgb, 4, 1},
    };
    for (const Case& c : cases)
        for (uint16_t bits : {8, 16}) {
            if (bits == 16 && !c.sixteen)
                continue;
            SCOPED_TRACE(std::string(c.name) + (bits == 16 ? ", 16-bit" : ""));
            ts::Tiff t;
            t.width = 37, t.height = 21, t.bits = bits, t.rowsPerStrip = 16;
            c.space(t);
            c.layout(t);
            t.pixels = ts::Pattern(t, 3);
            for (size_t i = 0; c.alpha >= 0 && i < 8u * bits / 8; ++i) // some fully clear pixels
                t.pixels[(t.samples - t.extraSamples + c.alpha) * bits / 8 + i % (bits / 8) +
                         i / (bits / 8) * t.samples * bits / 8] = 0;
            ts::Conversion job;
            job.source = dir.file("in.tif"), job.dest = dir.file("out.tif");
            job.from = c.from, job.to = c.to;
            ASSERT_TRUE(ts::WriteTiff(job.source, t));
            // What the library decodes (JPEG: its own RGB), as rows of contiguous samples.
            bool ok = false;
            const ts::Tiff stored = ts::ReadTiff(job.source, &ok);
            ASSERT_TRUE(ok);
            const ts::Bytes pixels = ts::Interleaved(stored, stored.pixels);
            ts::Conversion plain = job;
            plain.source = dir.file("plain.tif"), plain.dest = dir.file("plain-out.tif");
            ASSERT_TRUE(ts::WriteTiff(plain.source, ColourOnly(t, pixels, c.colours, c.alpha)));
            ASSERT_EQ(ts::Convert(plain, 0).status, "converted");
            const ts::Tiff converted = ts::ReadTiff(plain.dest);
            const ts::Bytes want =
                WithExtras(converted.pixels, converted.samples, pixels, t, c.colours, c.alpha);
            // The destination names every extra sample, those the source left untagged as
            // of no kind.
            std::vector<uint16_t> kinds = stored.extraKinds;
            kinds.resize(size_t(t.samples - c.colours), 0);
            for (unsigned threads : {0u, 2u}) {
                // Keeping metadata reads the file afresh, which must find the layout checked.
                job.keepMetadata = threads == 2;
                const ts::Conversion o = ts::Convert(job, threads);
                ASSERT_EQ(o.status, "converted") << o.message;
                const ts::Tiff got = ts::ReadTiff(job.dest);
                EXPECT_TRUE(got.pixels == want) << threads;
                EXPECT_EQ(std::make_tuple(got.orientation, got.extraKinds, got.planar, got.tiled),
                          std::make_tuple(std::max<uint16_t>(t.orientation, 1), kinds, uint16_t(1),
                                          false));
            }
        }
}

// GIS tools deliver GeoTIFFs in tiles, with reduced-resolution copies as later images: the
// copy is in strips, with the copies as pages, and with --keep-metadata each image keeps its
// place on the map and GDAL's metadata and nodata value.
TEST(Layout, AGeoTiffKeepsItsPlaceOnTheMap) {
    ts::Scratch dir;
    ts::Tiff t;
    t.width = 64, t.height = 48, t.tiled = true, t.compression = 8, t.pages = 2;
    t.pageEdit = [](ts::Tiff& p, uint16_t page) {
        if (page)
            p.width /= 2, p.height /= 2, p.newSubfileType = FILETYPE_REDUCEDIMAGE;
    };
    ts::Conversion job;
    job.source = dir.file("in.tif"), job.dest = dir.file("out.tif"), job.keepMetadata = true;
    job.from = ts::RequireProfile("sRGB.icc");
    job.to = ts::MakeProfile(dir.path(), ts::InkTables(4), "cmyk.icc");
    ASSERT_TRUE(ts::WriteTiff(job.source, t));
    const double scale[] = {0.5, 0.5, 0}, tie[] = {0, 0, 0, 440720, 3751320, 0};
    const uint16_t keys[] = {1, 1, 0, 1, 1024, 0, 1, 1};
    const char *ascii = "WGS 84|", *gdal = "<GDALMetadata/>", *nodata = "0";
    static const TIFFFieldInfo kGeo[] = {
        {33550, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("Scale")},
        {33922, -1, -1, TIFF_DOUBLE, FIELD_CUSTOM, 1, 1, const_cast<char*>("Tie")},
        {34735, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("Keys")},
        {34737, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Ascii")},
        {42112, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Gdal")},
        {42113, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("NoData")}};
    for (uint16_t page = 0; page < 2; ++page) {
        TIFF* tif = TIFFOpen(job.source.c_str(), "r+");
        TIFFSetDirectory(tif, page); // which forgets the tags declared before
        TIFFMergeFieldInfo(tif, kGeo, 6);
        TIFFSetField(tif, 33550, 3, scale), TIFFSetField(tif, 33922, 6, tie);
        TIFFSetField(tif, 34735, 8, keys), TIFFSetField(tif, 34737, ascii);
        TIFFSetField(tif, 42112, gdal), TIFFSetField(tif, 42113, nodata);
        TIFFRewriteDirectory(tif);
        TIFFClose(tif);
    }
    // Each tag's values as libtiff reads them (as tags it does not know), on every page.
    const auto values = [](const std::string& path) {
        std::vector<ts::Bytes> all;
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        for (int page = 0; tif && page < 2 && TIFFSetDirectory(tif, uint16_t(page)); ++page)
            for (uint32_t tag : {33550, 33922, 34735, 34737, 42112, 42113}) {
                const TIFFField* field = TIFFFindField(tif, tag, TIFF_ANY);
                uint32_t count = 0;
                const unsigned char* data = nullptr;
                if (field && TIFFGetField(tif, tag, &count, &data) && data)
                    all.emplace_back(data, data + count * TIFFFieldSetGetSize(field));
                else
                    all.emplace_back();
            }
        if (tif)
            TIFFClose(tif);
        return all;
    };
    const std::vector<ts::Bytes> source = values(job.source);
    ASSERT_EQ(source.size(), 12u);
    EXPECT_EQ(source[0].size(), sizeof scale);
    ASSERT_EQ(ts::Convert(job, 2).status, "converted");
    EXPECT_EQ(values(job.dest), source);
    const ts::Tiff overview = ts::ReadTiff(job.dest, nullptr, 1);
    EXPECT_EQ(
        std::make_tuple(overview.pages, overview.tiled, overview.width, overview.newSubfileType),
        std::make_tuple(uint16_t(2), false, 32u, uint32_t(FILETYPE_REDUCEDIMAGE)));
}
