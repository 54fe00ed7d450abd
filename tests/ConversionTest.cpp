// One image through the engine: every layout it accepts, on the per-pixel path and on the
// fast path with one to three workers, against Little CMS's own numbers; and the images it
// refuses, cancels or cannot read to the end. The refusals a run screens for, and the run's
// own messages, are the run tests' business.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <tiffio.h>

#include <algorithm>

#include "ConversionJob.h"
#include "ImageConversion.h"
#include "RequireProfile.h"
#include "RunState.h"
#include "Support.h"

using ts::Conversion;
using ts::Convert;

namespace {

const unsigned kPaths[] = {0, 1, 2, 3}; // workers of the fast path; 0: the per-pixel path

// Gradients and noise, with runs of one colour along every third row for the colour caches.
// Odd widths carry a resolution unit (300 per cm is not 300 dpi), even ones none.
ts::Tiff Image(uint32_t width, uint32_t height, uint16_t samples, uint16_t photometric,
               uint16_t alpha = 0) {
    ts::Tiff t;
    t.width = width, t.height = height, t.samples = samples, t.photometric = photometric;
    t.extraSamples = alpha, t.rowsPerStrip = 8, t.xRes = 300, t.yRes = 150;
    t.resUnit = width % 2 ? 3 : 0;
    t.pixels = ts::Pattern(t, 7);
    for (uint64_t y = 0, row = ts::RowBytes(t); y < height; y += 3)
        for (uint64_t x = samples; x + samples <= row / 2; x += samples)
            std::copy_n(&t.pixels[y * row], samples, &t.pixels[y * row + x]);
    return t;
}

} // namespace

// Tables come out up to two levels from Little CMS's: the program interpolates them
// n-linearly where Little CMS goes tetrahedral. Matrices and curves agree exactly. XYZ is
// stored as CIELab bytes and Lab bytes go to an XYZ profile as XYZ, so Little CMS uses the
// Lab identity for XYZ profiles.
TEST(Conversion, EveryLayoutOnEveryPathGivesLittleCmsValues) {
    ts::Scratch dir;
    const auto make = [&](const ts::TableProfile& p, const std::string& name) {
        return ts::MakeProfile(dir.path(), p, name + ".icc");
    };
    const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb);
    const std::string srgb2 = ts::RequireProfile("sRGB.icc"); // version 2: no forced compensation
    const std::string cmyk = ts::RequireProfile("ghostscript/default_cmyk.icc");
    const std::string gray = ts::MakeProfile(dir.path(), ts::Builtin::Gray);
    const std::string lab = ts::MakeProfile(dir.path(), ts::Builtin::Lab4);
    const std::string xyz = ts::MakeProfile(dir.path(), ts::Builtin::Xyz);
    const std::string cmy = make(ts::CmyTables(), "cmy"), ink4 = make(ts::InkTables(4), "4");
    const std::string ink5 = make(ts::InkTables(5), "5");
    const std::string ink7 = make(ts::InkTables(7), "7"), intents = make(ts::IntentTables(), "i");
    const std::string ink8 = make(ts::InkTables(8), "8");
    ts::TableProfile named = ts::InkTables(6);
    named.colorants = {"Cyan", "Magenta", "Yellow", "Black", "Orange", "Green"};
    const std::string ink6 = make(named, "6");
    const std::string inkNames = std::string("Cyan\0Magenta\0Yellow\0Black\0Orange\0Green\0", 39);
    ts::Tiff planar = Image(33, 17, 1, 1), lzw = Image(97, 41, 3, 2), tagged = Image(29, 13, 3, 2);
    planar.planar = 2, lzw.compression = COMPRESSION_LZW, tagged.icc = ts::ReadBytes(srgb2);
    // Inks other than CMYK as the program writes them: separations of "multi-ink".
    ts::Tiff cmyIn = Image(43, 11, 3, 5), inks8 = Image(23, 7, 8, 5);
    ts::Tiff topBit = inks8; // pixels that differ only in the top bit of their last ink
    cmyIn.inkSet = inks8.inkSet = topBit.inkSet = INKSET_MULTIINK;
    for (size_t i = 0; i < topBit.pixels.size(); ++i)
        topBit.pixels[i] = i % 8 < 7 ? 0x40 : i / 8 % 2 * 0x80;
    ts::Tiff noise = Image(512, 512, 3, 2); // every byte random
    uint32_t seed = 1;
    for (unsigned char& b : noise.pixels)
        b = static_cast<unsigned char>((seed = seed * 1664525u + 1013904223u) >> 24);
    struct Case {
        const char* name;
        ts::Tiff tiff;
        std::string from, to; // from "": the image's own profile (sRGB.icc)
        int intent;
        uint16_t photometric, samples; // of the destination, alpha included
        int tolerance = 0;
        TiffCompression compression = kCompressNone;
        const char* plan = "3 workers, worker caches"; // as chosen for three workers
    } cases[] = {
        {"header-intent", Image(37, 9, 3, 2), intents, srgb2, 0, 2, 3, 2},
        {"relative", Image(37, 9, 3, 2), intents, srgb2, 2, 2, 3, 2},
        {"miniswhite4-rgb", Image(45, 21, 4, 0), cmyk, srgb2, 2, 2, 3, 2},
        {"gray-rgb", Image(39, 13, 1, 1), gray, srgb, 2, 2, 3},
        {"planar-gray-rgb", planar, gray, srgb, 2, 2, 3},
        {"miniswhite-gray", Image(31, 9, 1, 0), gray, gray, 2, 1, 1},
        {"rgb-gray", Image(41, 7, 3, 2), srgb, gray, 2, 1, 1},
        {"minisblack3-rgb", Image(33, 17, 3, 1), srgb, srgb2, 2, 2, 3},
        {"rgb-cmy", Image(43, 11, 3, 2), srgb, cmy, 2, 5, 3, 2},
        {"rgb-7ink", Image(29, 13, 3, 2), srgb, ink7, 2, 5, 7, 2},
        {"5ink-rgb", Image(29, 13, 5, 5), ink5, srgb, 2, 2, 3, 2},
        {"cmy-rgb", cmyIn, cmy, srgb, 2, 2, 3, 2},
        // Eight bytes leave no bit for a key's mark: every pixel is converted.
        {"8ink-rgb", inks8, ink8, srgb, 2, 2, 3, 2, kCompressNone, "3 workers, no table"},
        {"8ink-top-bit-rgb", topBit, ink8, srgb, 2, 2, 3, 2, kCompressNone, "3 workers, no table"},
        // Inks stored white-is-zero, as earlier versions wrote them.
        {"miniswhite3-cmy-cmy", Image(37, 9, 3, 0), cmy, cmy, 2, 5, 3, 2},
        {"miniswhite7-rgb", Image(29, 13, 7, 0), ink7, srgb, 2, 2, 3, 2},
        {"rgba-cmyka", Image(43, 11, 4, 2, 1), srgb2, cmyk, 2, 5, 5, 2},
        {"cmyka-rgba-deflate", Image(37, 9, 5, 5, 1), cmyk, srgb2, 2, 2, 4, 2, kCompressDeflate},
        {"lzw-rgb-6ink-lzw", lzw, srgb, ink6, 2, 5, 6, 2, kCompressLzw},
        {"lab-rgb", Image(51, 19, 3, 8), lab, srgb, 2, 2, 3},
        {"rgb-lab", Image(51, 19, 3, 2), srgb, lab, 2, 8, 3},
        {"lab-lab-every-byte", Image(256, 256, 3, 8), lab, lab, 2, 8, 3},
        {"lab-xyz-lab", Image(51, 19, 3, 8), xyz, xyz, 2, 8, 3, 1},
        {"icclab-rgb", Image(51, 19, 3, 9), lab, srgb, 2, 2, 3},
        {"icclab-xyz-lab", Image(51, 19, 3, 9), xyz, xyz, 2, 8, 3, 1},
        {"embedded-rgb-cmyk", tagged, "", cmyk, 2, 5, 4, 2},
        // From 2^18 pixels on, the fast path adds the evaluator and a table shared by the
        // workers: a dense one for three source bytes, a packed one while source and
        // destination fit seven bytes, else each worker's own cache.
        {"big-rgb-cmyk", Image(512, 512, 3, 2), srgb2, cmyk, 2, 5, 4, 2, kCompressNone,
         "3 workers, dense table, evaluator with bytes"},
        // Colours all over the cube: the first rows show the dense table will not pay.
        {"big-noise-rgb-cmyk", noise, srgb2, cmyk, 2, 5, 4, 2, kCompressNone,
         "3 workers, no table, evaluator with bytes"},
        {"big-rgba-cmyka", Image(512, 512, 4, 2, 1), srgb, ink4, 2, 5, 5, 2, kCompressNone,
         "3 workers, dense table, evaluator with bytes"},
        {"big-cmyk-rgb", Image(512, 512, 4, 5), ink4, srgb, 2, 2, 3, 2, kCompressNone,
         "3 workers, packed table, evaluator with bytes"},
        {"big-6ink-rgb", Image(512, 512, 6, 5), ink6, srgb, 3, 2, 3, 2, kCompressNone,
         "3 workers, worker caches, evaluator with bytes"},
        // XYZ values stored as CIELab bytes mix the channels: the evaluator gives values.
        {"big-lab-xyz", Image(512, 512, 3, 8), lab, xyz, 2, 8, 3, 1, kCompressNone,
         "3 workers, dense table, evaluator"},
        {"big-icclab-cmyk", Image(512, 512, 3, 9), lab, cmyk, 2, 5, 4, 2, kCompressNone,
         "3 workers, dense table, evaluator with bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion job;
        job.source = dir.file("in.tif"), job.dest = dir.file("out.tif"), job.from = c.from;
        job.to = c.to, job.intent = c.intent, job.embeddedSource = c.from.empty();
        job.compression = c.compression, job.embed = ts::ReadBytes(c.to);
        ASSERT_TRUE(ts::WriteTiff(job.source, c.tiff));
        ts::Bytes first;
        for (unsigned threads : kPaths) {
            const Conversion o = Convert(job, threads);
            ASSERT_EQ(o.status, "converted") << threads << o.message;
            if (threads == 3) {
                EXPECT_EQ(o.plan, c.plan);
            }
            EXPECT_EQ(o.rows, int(c.tiff.height)) << threads;
            first = threads ? first : ts::ReadBytes(job.dest);
            // Every path writes the same file.
            EXPECT_TRUE(ts::ReadBytes(job.dest) == first) << threads;
        }
        const ts::Tiff got = ts::ReadTiff(job.dest);
        EXPECT_EQ(std::make_tuple(got.photometric, got.samples, got.extraSamples, got.compression,
                                  got.resUnit, got.xRes, got.yRes, got.icc),
                  std::make_tuple(c.photometric, c.samples, c.tiff.extraSamples,
                                  uint16_t(c.compression), c.tiff.resUnit, 300.f, 150.f,
                                  job.embed)); // the profile embedded byte for byte
        // Inks but CMYK are counted, and named when the profile names them.
        const bool multiInk = c.photometric == 5 && c.samples - c.tiff.extraSamples != 4;
        EXPECT_EQ(std::make_tuple(got.inkSet, got.inks, got.inkNames),
                  std::make_tuple(uint16_t(multiInk ? 2 : 0), uint16_t(multiInk ? c.samples : 0),
                                  c.to == ink6 ? inkNames : ""));
        const std::string from = c.from.empty() ? srgb2 : c.from == xyz ? lab : c.from;
        const ts::Bytes want = ts::Lcms(from, c.to == xyz ? lab : c.to, c.intent, c.tiff);
        EXPECT_LE(ts::WorstDifference(got.pixels, want, 8, c.photometric == 8, c.samples),
                  c.tolerance);
    }
    // The same colours stored as CIELab and as ICCLab (a* and b* + 128) give the same file,
    // pixel by pixel and through the evaluator.
    ts::Tiff cie = Image(512, 512, 3, 8), icc = cie;
    icc.photometric = 9;
    for (size_t i = 0; i < icc.pixels.size(); ++i)
        icc.pixels[i] ^= i % 3 ? 0x80 : 0;
    for (unsigned threads : {0u, 2u}) {
        std::vector<ts::Bytes> files;
        for (const ts::Tiff& t : {cie, icc}) {
            Conversion job;
            job.source = dir.file("in.tif"), job.dest = dir.file("out.tif"), job.from = lab;
            job.to = cmyk;
            ASSERT_TRUE(ts::WriteTiff(job.source, t));
            ASSERT_EQ(Convert(job, threads).status, "converted");
            files.push_back(ts::ReadBytes(job.dest));
        }
        EXPECT_TRUE(files[0] == files[1]) << threads;
    }
}

// Every colour of a grid with `steps` levels a channel, four pixels each, over and over, for
// 2^18 pixels: big enough for the evaluator and the shared tables.
ts::Tiff Grid(uint16_t samples, uint16_t photometric, uint32_t steps) {
    ts::Tiff t;
    t.width = t.height = 512, t.samples = samples, t.photometric = photometric;
    t.rowsPerStrip = 16;
    for (uint32_t i = 0; i < t.width * t.height; ++i)
        for (uint32_t c = 0, n = i / 4; c < samples; ++c, n /= steps)
            t.pixels.push_back(uint8_t(n % steps * 255 / (steps - 1)));
    return t;
}

// Black-point compensation and absolute colorimetric give Little CMS's figures with the same
// intent and flag on every path, and compensation only where it applies: never with the
// absolute intent.
TEST(Conversion, PrepressChoicesGiveLittleCmsValues) {
    const std::string srgb2 = ts::RequireProfile("ghostscript/srgb.icc");
    const std::string cmyk = ts::RequireProfile("ghostscript/default_cmyk.icc");
    const std::string adobe = ts::RequireProfile("colord/AdobeRGB1998.icc");
    ts::Scratch dir;
    const ts::Tiff rgb = Grid(3, 2, 17), inks = Grid(4, 5, 9);
    const struct Case {
        const char* name;
        const ts::Tiff& tiff;
        std::string from, to;
        int intent;
        bool bpc;
        const char* plan;
    } cases[] = {
        {"cmyk-srgb-relative-bpc", inks, cmyk, srgb2, 2, true,
         "packed table, evaluator with bytes"},
        {"cmyk-srgb-perceptual-bpc", inks, cmyk, srgb2, 1, true,
         "packed table, evaluator with bytes"},
        {"srgb-cmyk-perceptual-bpc", rgb, srgb2, cmyk, 1, true,
         "dense table, evaluator with bytes"},
        {"srgb-cmyk-relative-bpc", rgb, srgb2, cmyk, 2, true, "dense table, evaluator with bytes"},
        {"adobe-srgb-relative-bpc", rgb, adobe, srgb2, 2, true,
         "dense table, evaluator with bytes"},
        {"cmyk-srgb-absolute", inks, cmyk, srgb2, 4, false, "packed table, evaluator with bytes"},
        {"srgb-cmyk-absolute", rgb, srgb2, cmyk, 4, false, "dense table, evaluator with bytes"},
        {"cmyk-adobe-absolute-bpc", inks, cmyk, adobe, 4, true,
         "packed table, evaluator with bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion job;
        job.source = dir.file("in.tif"), job.dest = dir.file("out.tif"), job.from = c.from;
        job.to = c.to, job.intent = c.intent, job.blackPoint = c.bpc;
        ASSERT_TRUE(ts::WriteTiff(job.source, c.tiff));
        ts::Bytes first;
        for (unsigned threads : {0u, 2u}) {
            const Conversion o = Convert(job, threads);
            ASSERT_EQ(o.status, "converted") << o.message;
            EXPECT_EQ(o.plan, threads ? std::string("2 workers, ") + c.plan : "per pixel");
            first = threads ? first : ts::ReadBytes(job.dest);
            EXPECT_TRUE(ts::ReadBytes(job.dest) == first);
        }
        const uint32_t flags = c.bpc ? cmsFLAGS_BLACKPOINTCOMPENSATION : 0;
        const ts::Bytes want = ts::Lcms(c.from, c.to, c.intent, c.tiff, 8, flags);
        const uint16_t samples = c.to == cmyk ? 4 : 3;
        EXPECT_LE(ts::WorstDifference(ts::ReadTiff(job.dest).pixels, want, 8, false, samples), 1);
    }
    // Full black of the press profile: the screen's black with compensation, a dark grey
    // without (Little CMS's own figures).
    ts::Tiff black = Grid(4, 5, 2);
    black.width = black.height = 1, black.pixels = {255, 255, 255, 255};
    for (const bool bpc : {false, true}) {
        Conversion job;
        job.source = dir.file("k.tif"), job.dest = dir.file("k-rgb.tif"), job.from = cmyk;
        job.to = srgb2, job.blackPoint = bpc;
        ASSERT_TRUE(ts::WriteTiff(job.source, black));
        ASSERT_EQ(Convert(job, 0).status, "converted");
        const ts::Bytes want = bpc ? ts::Bytes{0, 0, 0} : ts::Bytes{32, 31, 31};
        EXPECT_EQ(ts::ReadTiff(job.dest).pixels, want);
    }
}

// A cancel, or a strip that cannot be decoded, stops an image at the same row on every path,
// however far the workers had gone ahead, and hands back its message (none after a cancel).
// The refusals that only the preparation of an image words come back as its one message.
// Either way the destination's name keeps what it held, and nothing else is left behind.
TEST(Conversion, StoppedAndRefusedImagesLeaveNothing) {
    ts::Scratch dir;
    const std::string in = dir.path() + "/", old = in + "old.tif";
    const std::string srgb = ts::MakeProfile(dir.path(), ts::Builtin::Srgb);
    const std::string cmyk = ts::MakeProfile(dir.path(), ts::InkTables(4), "cmyk.icc");
    const std::string nine = ts::MakeProfile(dir.path(), ts::InkTables(9), "ink9.icc");
    ts::Tiff t;
    t.width = t.height = 64, t.rowsPerStrip = 8, t.compression = COMPRESSION_ADOBE_DEFLATE;
    t.icc.assign(3, 'x'); // not a profile
    ASSERT_TRUE(ts::WriteTiff(in + "rgb.tif", t));
    ts::Bytes bytes = ts::ReadBytes(in + "rgb.tif");
    TIFF* tif = TIFFOpen((in + "rgb.tif").c_str(), "r");
    uint64_t* offsets = nullptr;
    ASSERT_TRUE(tif && TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets));
    bytes[offsets[4]] = bytes[offsets[4] + 1] = 0xFF; // rows 32 to 39 no longer inflate
    TIFFClose(tif);
    ASSERT_TRUE(ts::WriteBytes(in + "damaged.tif", bytes) && ts::WriteBytes(old, {'o', 'l', 'd'}));
    const std::string bad =
        "Error: Source image must be 8-bit or 16-bit and only have standard layers.";
    const std::string broken =
        "Invalid Profile:\n  " + in + "rgb.tif (embedded profile)\n  " + cmyk + "'";
    struct Case {
        std::string source, from, to, status, message;
        int rows = 0, cancelAfter = -1; // rows; 0: cancelled before the first pixel
        bool embeddedSource = false;
    } cases[] = {
        {"rgb.tif", srgb, cmyk, "cancelled", "", 4, 4},
        {"rgb.tif", srgb, cmyk, "cancelled", "", 0, 0},
        {"damaged.tif", srgb, cmyk, "failed", bad, 32},
        {"rgb.tif", srgb, nine, "refused", "Invalid destination profile or image pixel format"},
        {"rgb.tif", "", cmyk, "refused", broken, 0, -1, true},
    };
    const ts::Snapshot before = ts::Snap(dir.path());
    for (const Case& c : cases) {
        Conversion job;
        job.source = in + c.source, job.from = c.from, job.to = c.to, job.dest = old;
        job.cancelAfter = c.cancelAfter, job.embeddedSource = c.embeddedSource;
        for (unsigned threads : kPaths) {
            const Conversion o = Convert(job, threads);
            EXPECT_EQ(std::tie(threads, o.status, o.message, o.rows),
                      std::tie(threads, c.status, c.message, c.rows));
            EXPECT_EQ(ts::Changes(before, ts::Snap(dir.path())), "") << c.source;
        }
    }
}
