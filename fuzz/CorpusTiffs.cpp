#include <tiffio.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "Corpus.h"
#include "ProfileFixtures.h"
#include "TempDir.h"
#include "TiffFixtures.h"

namespace corpus {
namespace {

struct Seed {
    const char* name;
    std::function<fx::TiffSpec()> spec;
};

fx::TiffSpec With(fx::TiffSpec spec, const std::function<void(fx::TiffSpec&)>& change) {
    change(spec);
    return spec;
}

std::vector<Seed> LayoutSeeds() {
    using namespace fx;
    return {
        {"rgb", [] { return RgbSpec(8, 4); }},
        {"rgb-1x1", [] { return RgbSpec(1, 1); }},
        {"rgb-odd", [] { return RgbSpec(13, 7); }},
        {"rgb-one-strip",
         [] { return With(RgbSpec(9, 5), [](TiffSpec& s) { s.rowsPerStrip = 0; }); }},
        {"rgb-strips-of-3",
         [] { return With(RgbSpec(10, 8), [](TiffSpec& s) { s.rowsPerStrip = 3; }); }},
        {"rgb-resolution",
         [] {
             return With(RgbSpec(6, 4), [](TiffSpec& s) {
                 s.xResolution = 300;
                 s.yResolution = 150;
                 s.resolutionUnit = kResUnitInch;
             });
         }},
        {"rgb-alpha",
         [] {
             return With(RgbSpec(6, 4), [](TiffSpec& s) {
                 s.samplesPerPixel = 4;
                 s.extraSamples = 1;
             });
         }},
        {"rgb-two-pages",
         [] { return With(RgbSpec(5, 3), [](TiffSpec& s) { s.extraPages = 1; }); }},
        {"rgb-16bit",
         [] { return With(RgbSpec(6, 4), [](TiffSpec& s) { s.bitsPerSample = 16; }); }},
        {"rgb-lzw",
         [] {
             return With(RgbSpec(16, 8), [](TiffSpec& s) {
                 s.compression = kCompressionLzw;
                 s.rowsPerStrip = 4;
             });
         }},
        {"rgb-deflate",
         [] {
             return With(RgbSpec(16, 8), [](TiffSpec& s) { s.compression = kCompressionDeflate; });
         }},
        {"rgb-packbits",
         [] {
             return With(RgbSpec(16, 8), [](TiffSpec& s) { s.compression = kCompressionPackBits; });
         }},
        {"rgb-planar",
         [] { return With(RgbSpec(6, 4), [](TiffSpec& s) { s.planar = kPlanarSeparate; }); }},
        {"rgb-tiled", [] { return With(RgbSpec(20, 18), [](TiffSpec& s) { s.tiled = true; }); }},
        {"rgb-jpeg",
         [] {
             return With(RgbSpec(32, 32), [](TiffSpec& s) {
                 s.compression = kCompressionJpeg;
                 s.rowsPerStrip = 16;
             });
         }},
        {"rgb-orientation2",
         [] { return With(RgbSpec(6, 4), [](TiffSpec& s) { s.orientation = 2; }); }},
        {"rgb-no-planar-tag",
         [] { return With(RgbSpec(6, 4), [](TiffSpec& s) { s.writePlanarTag = false; }); }},
        {"gray", [] { return GraySpec(8, 4); }},
        {"gray-3", [] { return GraySpec(6, 4, 3); }},
        {"gray-white", [] { return GraySpec(6, 4, 1, kPhotometricMinIsWhite); }},
        {"gray-1bit",
         [] { return With(GraySpec(13, 5), [](TiffSpec& s) { s.bitsPerSample = 1; }); }},
        {"gray-4bit",
         [] { return With(GraySpec(7, 5), [](TiffSpec& s) { s.bitsPerSample = 4; }); }},
        {"lab", [] { return LabSpec(8, 4); }},
        {"lab-icc", [] { return LabSpec(6, 4, kPhotometricIccLab); }},
        {"lab-lzw",
         [] { return With(LabSpec(16, 8), [](TiffSpec& s) { s.compression = kCompressionLzw; }); }},
        {"cmyk", [] { return CmykSpec(8, 4); }},
        {"cmyk-packbits",
         [] {
             return With(CmykSpec(16, 8),
                         [](TiffSpec& s) { s.compression = kCompressionPackBits; });
         }},
        {"cmy", [] { return CmySpec(6, 4); }},
        {"ink5", [] { return InkSpec(6, 4, 5); }},
        {"ink6", [] { return InkSpec(6, 4, 6); }},
        {"ink7", [] { return InkSpec(5, 3, 7); }},
        {"ink2", [] { return InkSpec(5, 3, 2); }},
        {"ycbcr-raw",
         [] {
             return With(RgbSpec(6, 4), [](TiffSpec& s) { s.photometric = kPhotometricYCbCr; });
         }},
    };
}

// Byte orders and formats the fixtures do not write: big-endian and BigTIFF.
bool WriteWithMode(const std::string& path, const char* mode) {
    TIFF* tif = TIFFOpen(path.c_str(), mode);
    if (!tif)
        return false;
    const fx::TiffSpec spec = fx::RgbSpec(7, 3);
    const std::vector<unsigned char> pixels = fx::PatternPixels(spec);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, spec.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, spec.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
    const bool ok = TIFFWriteEncodedStrip(tif, 0, const_cast<unsigned char*>(pixels.data()),
                                          tmsize_t(fx::RowBytes(spec)) * 2) > 0 &&
                    TIFFWriteEncodedStrip(
                        tif, 1, const_cast<unsigned char*>(pixels.data()) + fx::RowBytes(spec) * 2,
                        tmsize_t(fx::RowBytes(spec))) > 0;
    TIFFClose(tif);
    return ok;
}

// An RGB image whose one Deflate strip claims a size far over the budget:
// the conversion must refuse it from its tags, before any row.
bool WriteOverBudget(const std::string& path, uint32_t width, uint32_t height) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    unsigned char stream[] = {0x78, 0x9c, 0x63, 0x60, 0x18, 0x05, 0x00, 0x00};
    const bool ok = TIFFWriteRawStrip(tif, 0, stream, sizeof stream) > 0;
    TIFFClose(tif);
    return ok;
}

int WriteSeeds(const std::string& dir, const std::vector<Seed>& seeds) {
    int written = 0;
    for (const Seed& seed : seeds) {
        const std::string path = dir + "/" + seed.name + ".tif";
        if (fx::WriteTiff(path, seed.spec()))
            ++written;
        else
            fprintf(stderr, "make_corpus: could not write %s\n", path.c_str());
    }
    return written;
}

// Files cut short: inside the header, inside the directory, inside the pixels.
int WriteDamagedSeeds(const std::string& dir) {
    int written = 0;
    fx::TiffSpec spec = fx::RgbSpec(16, 8);
    spec.rowsPerStrip = 0;
    const std::string whole = dir + "/rgb-whole.tif";
    if (!fx::WriteTiff(whole, spec))
        return 0;
    const std::vector<unsigned char> bytes = fx::ReadFileBytes(whole);
    const struct {
        const char* name;
        size_t keep;
    } cuts[] = {{"cut-header", 6}, {"cut-pixels", bytes.size() / 2}, {"cut-end", bytes.size() - 9}};
    for (const auto& cut : cuts) {
        std::vector<unsigned char> part(bytes.begin(), bytes.begin() + long(cut.keep));
        if (fx::WriteFileBytes(dir + "/" + cut.name + ".tif", part))
            ++written;
    }
    remove(whole.c_str());
    return written;
}

int WriteEmbeddedProfileSeed(const std::string& dir) {
    fx::TempDir scratch;
    fx::TiffSpec spec = fx::RgbSpec(6, 4);
    spec.icc = fx::ReadFileBytes(fx::MakeSrgbProfile(scratch.path()));
    return fx::WriteTiff(dir + "/rgb-embedded-profile.tif", spec) ? 1 : 0;
}

} // namespace

int WriteTiffSeeds(const std::string& dir) {
    int written =
        WriteSeeds(dir, LayoutSeeds()) + WriteDamagedSeeds(dir) + WriteEmbeddedProfileSeed(dir);
    written += WriteWithMode(dir + "/rgb-big-endian.tif", "wb") ? 1 : 0;
    written += WriteWithMode(dir + "/rgb-bigtiff.tif", "w8") ? 1 : 0;
    return written;
}

int WriteConversionSeeds(const std::string& dir) {
    using namespace fx;
    const std::vector<Seed> seeds = {
        {"rgb", [] { return RgbSpec(8, 4); }},
        {"rgb-odd", [] { return RgbSpec(13, 7); }},
        {"rgb-wide", [] { return RgbSpec(300, 2); }},
        {"rgb-one-strip",
         [] { return With(RgbSpec(9, 6), [](TiffSpec& s) { s.rowsPerStrip = 0; }); }},
        {"rgb-lzw",
         [] { return With(RgbSpec(16, 8), [](TiffSpec& s) { s.compression = kCompressionLzw; }); }},
        {"gray-3", [] { return GraySpec(6, 4, 3); }},
        {"lab", [] { return LabSpec(8, 4); }},
        {"lab-odd", [] { return LabSpec(7, 4); }},
        {"cmyk", [] { return CmykSpec(8, 4); }},
        {"cmyk-odd", [] { return CmykSpec(7, 4); }},
        {"ink5", [] { return InkSpec(6, 4, 5); }},
        {"ink6", [] { return InkSpec(6, 4, 6); }},
        {"rgb-16bit",
         [] { return With(RgbSpec(6, 4), [](TiffSpec& s) { s.bitsPerSample = 16; }); }},
        {"cmy", [] { return CmySpec(6, 4); }},
        // Heights of 4n + 1 take the row pipeline.
        {"rgb-pipeline",
         [] { return With(RgbSpec(6, 5), [](TiffSpec& s) { s.rowsPerStrip = 2; }); }},
        {"lab-pipeline", [] { return LabSpec(7, 5); }},
        {"cmyk-pipeline", [] { return CmykSpec(5, 9); }},
        {"ink6-pipeline", [] { return InkSpec(4, 5, 6); }},
    };
    // Over the budget: a row that once wrapped around 32 bits, and a column.
    const int overBudget = (WriteOverBudget(dir + "/rgb-row-3gib.tif", 1073741825u, 1) ? 1 : 0) +
                           (WriteOverBudget(dir + "/rgb-column.tif", 1, 1u << 22) ? 1 : 0);
    return WriteSeeds(dir, seeds) + WriteDamagedSeeds(dir) + overBudget;
}

} // namespace corpus
