// 16-bit images in every space the program reads, and files of several images: every depth
// and byte order against Little CMS and against the same colours at 8 bits, every path
// writing the same bytes, and every page of a file converted, or none.
#include <gtest/gtest.h>
#include <tiffio.h>

#include "RequireProfile.h"
#include "Support.h"

namespace {

ts::Tiff Image(uint16_t samples, uint16_t photometric, uint16_t alpha, uint16_t bits,
               uint32_t side = 0) {
    ts::Tiff t;
    t.width = side ? side : 37, t.height = side ? side : 9;
    t.samples = samples, t.photometric = photometric;
    t.extraSamples = alpha, t.bits = bits, t.rowsPerStrip = 4;
    t.inkSet = photometric == 5 && samples - alpha != 4 ? INKSET_MULTIINK : 0;
    t.pixels = ts::Pattern(t, 7);
    return t;
}

// The 8-bit image's colours at 16 bits: v * 257, and for L*a*b* the a* and b* in 1/256ths.
ts::Tiff Twin16(const ts::Tiff& t8) {
    ts::Tiff t = t8;
    t.bits = 16, t.pixels.clear();
    const bool lab = t.photometric == PHOTOMETRIC_CIELAB || t.photometric == PHOTOMETRIC_ICCLAB;
    for (size_t i = 0; i < t8.pixels.size(); ++i) {
        const unsigned char v = t8.pixels[i];
        uint16_t w = uint16_t(v * 257);
        if (lab && i % t.samples)
            w = t.photometric == PHOTOMETRIC_CIELAB ? uint16_t(int8_t(v) * 256) : uint16_t(v * 256);
        t.pixels.push_back(uint8_t(w)); // the machine's byte order, as libtiff hands samples over
        t.pixels.push_back(uint8_t(w >> 8));
    }
    return t;
}

ts::Conversion Job(const ts::Scratch& dir, const std::string& from, const std::string& to) {
    ts::Conversion job;
    job.source = dir.file("in.tif"), job.dest = dir.file("out.tif"), job.from = from, job.to = to;
    return job;
}

// The destination's first page after converting t.
ts::Tiff Converted(ts::Conversion job, const ts::Tiff& t, int depth, unsigned threads) {
    job.depth = depth;
    if (!ts::WriteTiff(job.source, t))
        return {};
    const ts::Conversion o = ts::Convert(job, threads);
    EXPECT_EQ(o.status, "converted") << o.message;
    return ts::ReadTiff(job.dest);
}

} // namespace

// Samples scale to the transform's values as v / 65535 (L*a*b* as TIFF defines it at 16
// bits), so the same colours give the same bytes whatever depth they were stored at: an
// 8-bit source written at 16 bits is its 16-bit twin's output, and the twin written at 8 bits
// is the 8-bit source's. Alpha follows: v * 257 up, v / 257 rounded down.
TEST(Depth, SixteenBitSamplesInEverySpaceAndByteOrder) {
    ts::Scratch dir;
    const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb);
    const std::string srgb2 = ts::RequireProfile("sRGB.icc");
    const std::string gray = ts::MakeProfile(dir.path(), ts::Builtin::Gray);
    const std::string lab = ts::MakeProfile(dir.path(), ts::Builtin::Lab4);
    const std::string cmy = ts::MakeProfile(dir.path(), ts::CmyTables(), "cmy.icc");
    const std::string ink4 = ts::MakeProfile(dir.path(), ts::InkTables(4), "4.icc");
    const std::string ink6 = ts::MakeProfile(dir.path(), ts::InkTables(6), "6.icc");
    struct Case {
        const char* name;
        uint16_t samples, photometric, alpha;
        std::string from, to;
        uint16_t outPhotometric, outSamples;
        int tolerance; // in 8-bit levels: tables interpolate otherwise than Little CMS
    } cases[] = {
        {"gray-rgb", 1, 1, 0, gray, srgb, 2, 3, 0},
        {"miniswhite-gray", 1, 0, 0, gray, gray, 1, 1, 0},
        {"rgb-cmyk", 3, 2, 0, srgb2, ink4, 5, 4, 2},
        {"rgba-cmyka", 4, 2, 1, srgb, ink4, 5, 5, 2},
        {"cmyka-rgba", 5, 5, 1, ink4, srgb2, 2, 4, 2},
        {"cmy-rgb", 3, 5, 0, cmy, srgb, 2, 3, 2},
        {"6ink-rgb", 6, 5, 0, ink6, srgb, 2, 3, 2},
        {"cielab-rgb", 3, 8, 0, lab, srgb, 2, 3, 0},
        {"icclab-cmyk", 3, 9, 0, lab, ink4, 5, 4, 2},
        {"rgb-cielab", 3, 2, 0, srgb, lab, 8, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ts::Conversion job = Job(dir, c.from, c.to);
        const ts::Tiff t8 = Image(c.samples, c.photometric, c.alpha, 8);
        for (bool bigEndian : {false, true}) {
            SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
            ts::Tiff twin = Twin16(t8), noisy = Image(c.samples, c.photometric, c.alpha, 16);
            twin.bigEndian = noisy.bigEndian = bigEndian;
            EXPECT_EQ(Converted(job, t8, 16, 2).pixels, Converted(job, twin, 0, 2).pixels);
            EXPECT_EQ(Converted(job, twin, 8, 2).pixels, Converted(job, t8, 0, 2).pixels);
            for (int depth : {16, 8}) {
                SCOPED_TRACE(depth);
                const ts::Tiff got = Converted(job, noisy, depth, 0);
                EXPECT_EQ(
                    std::make_tuple(got.bits, got.photometric, got.samples, got.extraSamples),
                    std::make_tuple(uint16_t(depth), c.outPhotometric, c.outSamples, c.alpha));
                const int levels = depth == 16 ? c.tolerance * 257 + 1 : c.tolerance;
                EXPECT_LE(ts::WorstDifference(got.pixels,
                                              ts::Lcms(c.from, c.to, 2, noisy, uint16_t(depth)),
                                              uint16_t(depth), c.outPhotometric == 8, c.outSamples),
                          levels);
                // Every path writes the same file.
                const ts::Bytes first = ts::ReadBytes(job.dest);
                for (unsigned threads : {1u, 3u}) {
                    Converted(job, noisy, depth, threads);
                    EXPECT_TRUE(ts::ReadBytes(job.dest) == first) << threads;
                }
            }
        }
        // From 2^18 pixels on, the evaluator takes 16-bit samples too, whatever the depth out,
        // without a table for pixels nearly all of their own colour.
        ts::Tiff big = Image(c.samples, c.photometric, c.alpha, 16, 512);
        ASSERT_TRUE(ts::WriteTiff(job.source, big));
        for (int depth : {16, 8}) {
            ts::Conversion deep = job;
            deep.depth = depth;
            ts::Bytes first;
            for (unsigned threads : {0u, 2u}) {
                const ts::Conversion o = ts::Convert(deep, threads);
                EXPECT_EQ(o.plan.find("no table, evaluator with bytes") != std::string::npos,
                          threads > 0)
                    << depth << " " << o.plan;
                first = threads ? first : ts::ReadBytes(job.dest);
                EXPECT_TRUE(ts::ReadBytes(job.dest) == first) << depth;
            }
        }
        // Colours four pixels each keep a table, where a pixel's colour samples (alpha goes
        // round the colour tables) make a key.
        const size_t pixel = size_t(c.samples) * 2;
        for (size_t i = 0; i < big.pixels.size(); ++i)
            big.pixels[i] = big.pixels[i / (4 * pixel) * (4 * pixel) + i % pixel];
        ASSERT_TRUE(ts::WriteTiff(job.source, big));
        EXPECT_EQ(ts::Convert(job, 2).plan.find("no table") == std::string::npos,
                  (c.samples - c.alpha) * 2 <= 7);
    }
}

// Every image of the main chain (pages, reduced-resolution copies, each with its own depth,
// layout and tags) becomes the same page of the destination, with the pixels it would have
// alone; one image that cannot be converted leaves nothing, whatever page it is.
TEST(Pages, EveryPageOrNone) {
    ts::Scratch dir;
    const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb);
    const std::string cmyk = ts::MakeProfile(dir.path(), ts::InkTables(4), "cmyk.icc");
    ts::Tiff t;
    t.width = 24, t.height = 6, t.pages = 30, t.pageNumbers = true;
    t.text[TIFFTAG_PAGENAME] = "scan";
    t.pageEdit = [](ts::Tiff& p, uint16_t page) {
        if (page % 3 == 1)
            p.bits = 16;
        if (page % 5 == 2)
            p.width /= 2, p.height /= 2, p.newSubfileType = FILETYPE_REDUCEDIMAGE;
        if (page % 7 == 3)
            p.samples = 4, p.extraSamples = 1;
    };
    ts::Conversion job = Job(dir, srgb, cmyk);
    ASSERT_TRUE(ts::WriteTiff(job.source, t));
    for (unsigned threads : {0u, 2u}) {
        const ts::Conversion o = ts::Convert(job, threads);
        ASSERT_EQ(std::make_tuple(o.status, o.pages, o.rows),
                  std::make_tuple(std::string("converted"), 30, 6 * 24 + 3 * 6));
        ts::Conversion alone = job;
        alone.source = dir.file("page.tif"), alone.dest = dir.file("page-out.tif");
        for (uint16_t page = 0; page < 30; ++page) {
            SCOPED_TRACE(page);
            ts::Tiff single = t;
            single.pages = 1, single.pageNumbers = false, single.pageEdit = nullptr;
            t.pageEdit(single, page);
            single.pixels = ts::Pattern(single, page);
            const ts::Tiff want = Converted(alone, single, 0, threads);
            bool ok = false;
            const ts::Tiff got = ts::ReadTiff(job.dest, &ok, page);
            EXPECT_TRUE(ok && got.pages == 30 && got.pageNumbers && got.text == single.text);
            EXPECT_EQ(std::make_tuple(got.bits, got.samples, got.width, got.newSubfileType),
                      std::make_tuple(single.bits, uint16_t(4 + single.extraSamples), single.width,
                                      single.newSubfileType));
            EXPECT_TRUE(got.pixels == want.pixels);
        }
    }
    // A page that does not agree with the profile, that is of a depth never converted, or that
    // lacks the profile it should carry: the earlier destination stays as it was, nothing is
    // added.
    const std::string kMismatch = "Error: Data type mismatch between source image and profile.";
    std::vector<std::pair<std::function<void(ts::Tiff&, uint16_t)>, std::string>> bad = {
        {[](ts::Tiff& p, uint16_t page) { p.photometric = page ? 1 : 2, p.samples = page ? 1 : 3; },
         kMismatch},
        {[](ts::Tiff& p, uint16_t page) { p.bits = page ? 4 : 8; },
         "Error: Source image must be 8-bit or 16-bit."},
    };
    // Each image's own profile serves it, when asked.
    const std::string srgb2 = ts::RequireProfile("sRGB.icc");
    const auto tagged = [&](ts::Tiff& p, uint16_t page) {
        p.icc = ts::ReadBytes(page ? srgb2 : srgb);
    };
    ts::Tiff own = t;
    own.pages = 2, own.pageEdit = tagged;
    job.embeddedSource = true, job.from.clear(); // no profile for pages without their own
    ASSERT_TRUE(ts::WriteTiff(job.source, own));
    ASSERT_EQ(ts::Convert(job, 2).status, "converted");
    ts::Conversion alone = job;
    alone.source = dir.file("page.tif"), alone.dest = dir.file("page-out.tif");
    for (uint16_t page = 0; page < 2; ++page) {
        ts::Tiff single = own;
        single.pages = 1, single.pageEdit = nullptr;
        tagged(single, page);
        single.pixels = ts::Pattern(single, page);
        EXPECT_TRUE(ts::ReadTiff(job.dest, nullptr, page).pixels ==
                    Converted(alone, single, 0, 2).pixels)
            << page;
    }
    bad.push_back({[](ts::Tiff& p, uint16_t page) { p.icc = page ? ts::Bytes() : p.icc; },
                   "Error: Source image in.tif has no embedded profile."});
    for (const auto& [edit, message] : bad) {
        ts::Tiff two = t;
        two.pages = 2, two.pageEdit = edit, two.icc = ts::ReadBytes(srgb);
        ASSERT_TRUE(ts::WriteTiff(job.source, two) && ts::WriteBytes(job.dest, {'o', 'l', 'd'}));
        const ts::Snapshot before = ts::Snap(dir.path());
        for (unsigned threads : {0u, 2u}) {
            const ts::Conversion o = ts::Convert(job, threads);
            EXPECT_EQ(std::make_tuple(o.status, o.message, o.rows),
                      std::make_tuple(std::string("refused"), message, 0));
            EXPECT_EQ(ts::Changes(before, ts::Snap(dir.path())), "");
        }
    }
}
