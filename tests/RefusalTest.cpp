// Inputs a run must refuse: images it cannot read or convert, and profiles that cannot take
// part in a conversion. Each is tried alone (single mode), as the first image of a folder
// beside a good one, and through the command-line tool. The user sees exactly the words
// below, and nothing in the working folder changes but the good image's destination when a
// folder run goes on to it: no destination of the bad one, no hidden temporary file.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>

#include "RequireProfile.h"
#include "TiffPatch.h"

namespace fs = std::filesystem;

// A profile by name, made once: sRGB, and profiles no conversion of an RGB image can use.
static std::string Icc(const std::string& name) {
    static ts::Scratch dir;
    static const bool made = [] {
        const ts::Bytes srgb = ts::ReadBytes(ts::MakeProfile(dir.path(), ts::Builtin::Srgb));
        ts::TableProfile scanner = ts::CmyTables();
        scanner.deviceClass = 0x73636E72; // 'scnr', with no table back from Lab
        scanner.fromLab.clear();
        return ts::WriteBytes(dir.file("cut.icc"), ts::Bytes(srgb.begin(), srgb.begin() + 294)) &&
               ts::WriteBytes(dir.file("tail.icc"), ts::Bytes(srgb.begin(), srgb.end() - 28)) &&
               ts::WriteTiff(dir.file("tif.icc"), {}) &&
               !ts::MakeProfile(dir.path(), ts::Builtin::DeviceLink).empty() &&
               !ts::MakeProfile(dir.path(), ts::Builtin::Gray, "gray.icc").empty() &&
               !ts::MakeProfile(dir.path(), scanner, "input.icc").empty();
    }();
    EXPECT_TRUE(made);
    return name.find('/') == std::string::npos ? dir.file(name) : ts::RequireProfile(name);
}

// in/bad.tif is the image under test, a plain 8 x 4 RGB image unless a case makes another;
// in/zz-good.tif follows it in a folder run. The two profiles are copied in beside them.
struct Scene {
    ts::Scratch dir;
    std::string in = dir.mkdir("in"), out = dir.mkdir("out"), image = in + "/bad.tif";
    std::string src = dir.file("src.icc"), dst = dir.file("dst.icc");
};
using Make = std::function<void(Scene&)>;

// A changed plain image, in one strip, with one tag rewritten afterwards when asked.
static Make Image(const std::function<void(ts::Tiff&)>& f, uint16_t tag = 0, uint32_t v = 0) {
    return [=](Scene& s) {
        ts::Tiff t;
        t.rowsPerStrip = 0;
        f(t);
        ASSERT_TRUE(ts::WriteTiff(s.image, t) && (!tag || ts::PatchTiffTag(s.image, tag, v)));
    };
}
static void Plain(ts::Tiff&) {}
static void Grey(ts::Tiff& t) {
    t.samples = 1, t.photometric = PHOTOMETRIC_MINISBLACK;
}
static void Palette(ts::Tiff& t) {
    t.samples = 1, t.photometric = PHOTOMETRIC_PALETTE;
}

// '@' stands for the scene's folder.
static std::string Fill(std::string text, const Scene& s) {
    for (size_t at; (at = text.find('@')) != std::string::npos;)
        text.replace(at, 1, s.dir.path());
    return text;
}

const std::string kInvalidTiff = "Invalid Tiff file - '@/in/bad.tif'";
const std::string kNot8Bit = "Error: Source image bad.tif must be 8-bit or 16-bit.";
const std::string kReadFailed =
    "Error: Source image must be 8-bit or 16-bit and only have standard layers.";
const std::string kMismatch = "Error: Data type mismatch between source image and profile.";
const std::string kBadProfile = "Invalid Profile:\n  @/src.icc\n  @/dst.icc'";
// Each message is followed by its cause, indented on a line of its own.
std::string Why(const std::string& message, const std::string& cause) {
    return message + "\n  " + cause;
}
const std::string kNotTiff = Why(kInvalidTiff, "'@/in/bad.tif' is not a TIFF image.");
const std::string kDamaged = Why(kInvalidTiff, "'@/in/bad.tif' is a damaged TIFF image.");
std::string NotProfile(const char* name) {
    return Why(kBadProfile, std::string("'@/") + name + ".icc' is not an ICC profile.");
}
std::string LinkOrNamed(const char* name) {
    return Why(kBadProfile,
               std::string("'@/") + name + ".icc' is a device link or named-colour profile.");
}
std::string NotRead(const char* what) {
    return Why(kMismatch, std::string(what) + " images are not read");
}

struct Case {
    const char* label;
    // Dropped by the screening before the run begins, so that a folder run goes on without
    // it; otherwise the image is begun and its failure ends the run.
    bool screened;
    std::string message;
    Make image = nullptr;
    const char *src = "srgb.icc", *dst = "ghostscript/default_cmyk.icc";
    const char* cliMessage = nullptr; // the tool's own words, where they differ
};

const Case kCases[] = {
    {"a profile named .tif", true, kNotTiff,
     [](Scene& s) { ts::WriteBytes(s.image, ts::ReadBytes(s.src)); }},
    {"cut short", true, kDamaged, [](Scene& s) { fs::resize_file(s.image, 99); }},
    {"missing", true, Why(kInvalidTiff, "Cannot open '@/in/bad.tif': No such file or directory"),
     [](Scene& s) { fs::remove(s.image); }},
    {"a link to itself", true,
     Why(kInvalidTiff, "Cannot open '@/in/bad.tif': Too many levels of symbolic links"),
     [](Scene& s) { fs::remove(s.image), fs::create_symlink("bad.tif", s.image); }, "srgb.icc",
     "ghostscript/default_cmyk.icc",
     "Cannot read '@/in/bad.tif': Too many levels of symbolic links"},
    {"a folder", true, Why(kInvalidTiff, "'@/in/bad.tif' is a folder."),
     [](Scene& s) { fs::remove(s.image), fs::create_directory(s.image); }},
    {"4-bit", true, Why(kNot8Bit, "4-bit samples"), Image([](ts::Tiff& t) { t.bits = 4; })},
    {"signed", true, Why(kNot8Bit, "8-bit signed samples"),
     Image([](ts::Tiff& t) { t.sampleFormat = SAMPLEFORMAT_INT; })},
    {"an ExtraSamples count over its samples", true, kDamaged,
     [](Scene& s) {
         ts::Tiff t;
         t.samples = 4, t.extraSamples = 1;
         ASSERT_TRUE(ts::WriteTiff(s.image, t) &&
                     ts::PatchTiffEntry(s.image, TIFFTAG_EXTRASAMPLES, 3, 5, 8));
     }},
    // A row of tiles of 800 MB would be held whole.
    {"tiles of 800 MB", true, kDamaged,
     Image([](ts::Tiff& t) { t.tiled = true; }, TIFFTAG_TILELENGTH, 1u << 24)},
    // YCbCr but compressed as JPEG is stored subsampled, which no profile describes.
    {"uncompressed YCbCr", false, NotRead("YCbCr"),
     Image([](ts::Tiff& t) { t.photometric = PHOTOMETRIC_YCBCR; })},
    {"rows claiming a GiB", true, "Error: Source image bad.tif is too large.",
     Image(Plain, TIFFTAG_IMAGEWIDTH, 1u << 30)},
    {"its strip past the end", false, kReadFailed, Image(Plain, TIFFTAG_STRIPOFFSETS, 1u << 31)},
    {"JPEG 2000, which libtiff cannot decode", false, kReadFailed,
     Image(Plain, TIFFTAG_COMPRESSION, 34712)},
    {"an image as source profile", false, NotProfile("src"), {}, "tif.icc"},
    {"an image as destination profile", false, NotProfile("dst"), {}, "srgb.icc", "tif.icc"},
    {"missing destination profile",
     false,
     Why(kBadProfile, "Cannot open '@/dst.icc': No such file or directory"),
     {},
     "srgb.icc",
     "missing.icc"},
    {"truncated destination profile", false, NotProfile("dst"), {}, "srgb.icc", "cut.icc"},
    {"destination profile short of its header's size",
     false,
     NotProfile("dst"),
     {},
     "srgb.icc",
     "tail.icc"},
    {"device link as source", false, LinkOrNamed("src"), {}, "link.icc"},
    {"named colours as destination",
     false,
     LinkOrNamed("dst"),
     {},
     "srgb.icc",
     "colord/Crayons.icc"},
    {"input-only destination",
     false,
     Why(kBadProfile, "'@/dst.icc' has no way into its colours for this intent."),
     {},
     "srgb.icc",
     "input.icc"},
    {"CMYK source profile",
     false,
     Why(kMismatch, "'@/in/bad.tif' gives RGB but '@/src.icc' takes CMYK."),
     {},
     "ghostscript/default_cmyk.icc"},
    // One sample, as a grey profile's image has, but not grey values: converted, they came out
    // as negatives or noise.
    {"a palette image", false, NotRead("Palette"), Image(Palette), "gray.icc"},
    {"a transparency mask", false, NotRead("Transparency mask"),
     Image(Grey, TIFFTAG_PHOTOMETRIC, 4), "gray.icc"},
    {"a colour filter array", false, NotRead("Colour filter array"),
     Image(Grey, TIFFTAG_PHOTOMETRIC, 32803), "gray.icc"},
    // A few bytes on disk that make libtiff allocate a GiB as the file opens.
    {"an XMP packet of a GiB", true, kDamaged,
     [](Scene& s) {
         ts::Tiff t;
         t.xmp = {'<', 'x', '/', '>', 0, 0, 0, 0};
         ASSERT_TRUE(ts::WriteTiff(s.image, t) &&
                     ts::PatchTiffEntry(s.image, TIFFTAG_XMLPACKET, 1, 1u << 30, 4096));
         fs::resize_file(s.image, (1u << 30) + 4096);
     }},
};

TEST(Refusal, EveryBadInputGetsItsOwnWordsAndChangesNothing) {
    for (const Case& c : kCases)
        for (const int mode : {0, 1, 2}) { // single, folder, the tool
            SCOPED_TRACE(std::string(c.label) + ", mode " + std::to_string(mode));
            Scene s;
            ASSERT_TRUE(ts::WriteTiff(s.image, {}) && ts::WriteTiff(s.in + "/zz-good.tif", {}));
            std::error_code ec; // a missing profile is not copied
            fs::copy_file(Icc(c.src), s.src, ec), fs::copy_file(Icc(c.dst), s.dst, ec);
            if (c.image)
                c.image(s);
            const ts::Snapshot before = ts::Snap(s.dir.path());
            // A folder run lists only plain files and links to them.
            const bool listed = mode != 1 || fs::is_regular_file(s.image, ec);
            const bool goesOn = mode == 1 && (c.screened || !listed);
            const std::string dest = mode == 1 ? s.out : s.out + "/bad.tif";
            if (mode == 2) {
                const ts::Proc p = ts::RunCli({"-s", s.src, "-d", s.dst, s.image, dest});
                EXPECT_EQ(p.code, 1);
                EXPECT_EQ(p.err, Fill(c.cliMessage ? c.cliMessage : c.message, s) +
                                     "\nConversion cancelled.\n");
                EXPECT_EQ(p.out, "");
            } else {
                const ts::RunRecord r = ts::RunJob(
                    {mode ? s.in : s.image, s.src, s.dst, dest, mode == 1, true, 2, {}, {}});
                EXPECT_EQ(r.messages, std::vector<std::string>(listed, Fill(c.message, s)));
                EXPECT_EQ(r.names.size(), size_t((listed && !c.screened) + goesOn));
                EXPECT_EQ(r.succeeded, goesOn);
            }
            EXPECT_EQ(
                ts::Changes(before, ts::Snap(s.dir.path()), {goesOn ? "out/zz-good.tif" : ""}), "");
        }
}
