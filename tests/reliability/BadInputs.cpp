#include "BadInputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include "CraftedFiles.h"
#include "PathUtils.h"
#include "ProfileFixtures.h"
#include "TempDir.h"
#include "TiffFixtures.h"

namespace rel {
namespace {

std::string InvalidTiff(const std::string& path) {
    return "Invalid Tiff file - '" + path + "'";
}

std::string ScreenNot8Bit(const std::string& path) {
    return "Error: Source image " + GetFileName(path) + " must be 8-bit.";
}

std::string ScreenTooLarge(const std::string& path) {
    return "Error: Source image " + GetFileName(path) + " is too large.";
}

std::string Mismatch(const std::string&) {
    return "Error: Data type mismatch between source image and profile.";
}

std::string ReadFailed(const std::string&) {
    return "Error: Source image must be 8-bit and only have standard layers.";
}

std::function<bool(const std::string&)> Bytes(std::vector<unsigned char> bytes) {
    return [bytes](const std::string& path) { return fx::WriteFileBytes(path, bytes); };
}

std::function<bool(const std::string&)> Tiff(fx::TiffSpec spec) {
    return [spec](const std::string& path) { return fx::WriteTiff(path, spec); };
}

// The plain image's pixels under hand-made tags.
std::function<bool(const std::string&)> Crafted(StripGeometry geometry) {
    return [geometry](const std::string& path) {
        return fx::WriteFileBytes(path,
                                  CraftRgbTiff(geometry, fx::PatternPixels(PlainSourceSpec())));
    };
}

std::vector<unsigned char> PlainTiffBytes() {
    fx::TempDir dir;
    fx::WriteTiff(dir.file("plain.tif"), PlainSourceSpec());
    return fx::ReadFileBytes(dir.file("plain.tif"));
}

std::vector<unsigned char> Prefix(std::vector<unsigned char> bytes, size_t keep) {
    bytes.resize(std::min(bytes.size(), keep));
    return bytes;
}

std::vector<unsigned char> WithFirstDirectoryAt(std::vector<unsigned char> bytes, uint32_t offset) {
    for (int i = 0; i < 4; ++i)
        bytes[4 + size_t(i)] = static_cast<unsigned char>(offset >> (8 * i));
    return bytes;
}

fx::TiffSpec Changed(fx::TiffSpec spec, const std::function<void(fx::TiffSpec&)>& change) {
    change(spec);
    return spec;
}

std::vector<BadImage> MakeBadImages() {
    const fx::TiffSpec plain = PlainSourceSpec();
    const std::vector<unsigned char> plainBytes = PlainTiffBytes();

    return {
        {"not a TIFF (text)", "text.tif", Bytes({'J', 'u', 's', 't', ' ', 'w', 'o', 'r', 'd', 's'}),
         Outcome::RefusedAtScreening, InvalidTiff},
        {"empty file", "empty.tif", Bytes({}), Outcome::RefusedAtScreening, InvalidTiff},
        {"truncated header", "header.tif", Bytes(Prefix(plainBytes, 6)),
         Outcome::RefusedAtScreening, InvalidTiff},
        {"first directory past the end", "nodir.tif",
         Bytes(WithFirstDirectoryAt(plainBytes, uint32_t(plainBytes.size()) + 1000)),
         Outcome::RefusedAtScreening, InvalidTiff},
        {"truncated strip data", "cut.tif", Bytes(CraftCutImage()), Outcome::StopsInRows,
         ReadFailed},
        {"width 0", "width0.tif", Crafted({0, plain.height, 1, 1, 0}), Outcome::RefusedAtScreening,
         InvalidTiff},
        {"height 0", "height0.tif", Crafted({plain.width, 0, 1, 1, 0}), Outcome::RefusedAtScreening,
         InvalidTiff},
        {"width 2^31", "wide.tif", Crafted({0x80000000u, 1, 1, 1, 0}), Outcome::RefusedAtScreening,
         ScreenTooLarge},
        {"height 2^31", "tall.tif", Crafted({1, 0x80000000u, 1, 1, 0}), Outcome::RefusedAtScreening,
         InvalidTiff},
        {"rows per strip 0", "rps0.tif", Crafted({plain.width, plain.height, 0, 1, 0}),
         Outcome::RefusedAtScreening, InvalidTiff},
        {"rows per strip absent", "rpsnone.tif", Crafted({plain.width, plain.height, -1, 1, 0}),
         Outcome::Converts, nullptr},
        {"rows per strip larger than the image", "rpsbig.tif",
         Crafted({plain.width, plain.height, 1000, 1, 0}), Outcome::Converts, nullptr},
        {"several pages", "pages.tif", Tiff(Changed(plain, [](auto& s) { s.extraPages = 2; })),
         Outcome::Converts, nullptr},
        {"tiled", "tiled.tif", Tiff(Changed(plain, [](auto& s) { s.tiled = true; })),
         Outcome::RefusedAtScreening, InvalidTiff},
        {"planar-separate RGB", "planar.tif",
         Tiff(Changed(plain, [](auto& s) { s.planar = fx::kPlanarSeparate; })),
         Outcome::RefusedAtScreening, InvalidTiff},
        {"orientation bottom-right", "rotated.tif",
         Tiff(Changed(plain, [](auto& s) { s.orientation = 3; })), Outcome::RefusedAtScreening,
         InvalidTiff},
        {"JPEG-compressed YCbCr", "jpeg.tif",
         Tiff(Changed(fx::RgbSpec(16, 16),
                      [](auto& s) {
                          s.compression = fx::kCompressionJpeg;
                          s.rowsPerStrip = 16;
                      })),
         Outcome::FailsBeforeRows, Mismatch},
        {"palette", "palette.tif",
         [](const std::string& path) { return WritePaletteTiff(path, 8, 4); },
         Outcome::FailsBeforeRows, Mismatch},
        {"1-bit", "bilevel.tif",
         Tiff(Changed(fx::GraySpec(8, 4), [](auto& s) { s.bitsPerSample = 1; })),
         Outcome::RefusedAtScreening, ScreenNot8Bit},
        {"16-bit RGB", "deep.tif", Tiff(Changed(plain, [](auto& s) { s.bitsPerSample = 16; })),
         Outcome::RefusedAtScreening, ScreenNot8Bit},
        {"signed 8-bit samples", "signed.tif",
         Tiff(Changed(plain, [](auto& s) { s.sampleFormat = 2; })), Outcome::RefusedAtScreening,
         ScreenNot8Bit},
        {"2 samples (grey + alpha) with an RGB profile", "greyalpha.tif",
         Tiff(Changed(fx::GraySpec(8, 4, 2), [](auto& s) { s.extraSamples = 1; })),
         Outcome::FailsBeforeRows, Mismatch},
        {"5 samples (RGB + 2 extra) with an RGB profile", "five.tif",
         Tiff(Changed(plain,
                      [](auto& s) {
                          s.samplesPerPixel = 5;
                          s.extraSamples = 2;
                      })),
         Outcome::FailsBeforeRows, Mismatch},
        {"CMYK image with an RGB profile", "cmyk.tif", Tiff(fx::CmykSpec(8, 4)),
         Outcome::FailsBeforeRows, Mismatch},
        {"a folder named x.tif", "x.tif",
         [](const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }, Outcome::NotListed,
         InvalidTiff},
        {"a symbolic link loop", "loop-a.tif",
         [](const std::string& path) {
             const std::string other = path.substr(0, path.size() - 6) + "-b.tif";
             return symlink(other.c_str(), path.c_str()) == 0 &&
                    symlink(path.c_str(), other.c_str()) == 0;
         },
         Outcome::NotListed, InvalidTiff,
         [](const std::string& path) {
             return "Cannot read '" + path + "': Too many levels of symbolic links";
         }},
        {"a named pipe", "pipe.tif",
         [](const std::string& path) { return mkfifo(path.c_str(), 0644) == 0; },
         Outcome::NotListed, InvalidTiff},
    };
}

std::string DirOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::vector<unsigned char> SrgbProfileBytes() {
    fx::TempDir dir;
    return fx::ReadFileBytes(fx::MakeSrgbProfile(dir.path()));
}

// A profile file made by one of the fixture makers, whatever its default name.
std::function<bool(const std::string&)> Made(std::string (*maker)(const std::string&,
                                                                  const std::string&)) {
    return [maker](const std::string& path) { return maker(DirOf(path), NameOf(path)) == path; };
}

std::vector<BadProfile> MakeBadProfiles() {
    const std::vector<unsigned char> srgb = SrgbProfileBytes();
    return {
        {"missing", "missing.icc", [](const std::string&) { return true; }},
        {"empty", "empty.icc", Bytes({})},
        {"text", "junk.icc", Made(fx::MakeGarbageProfile)},
        {"truncated", "cut.icc", Made(fx::MakeTruncatedProfile)},
        {"tag table past the end", "tagtable.icc", Bytes(ProfileWithTagTablePastEnd(srgb, 40, 3))},
        {"tag count 0x7fffffff", "tagcount.icc",
         Bytes(ProfileWithTagTablePastEnd(srgb, 0x7fffffff, 1000))},
        {"tag data past the end", "tagdata.icc", Bytes(ProfileWithTagDataPastEnd(srgb))},
        {"a folder", "folder.icc",
         [](const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }},
        {"a TIFF image", "image.icc", Tiff(PlainSourceSpec())},
        {"device link", "devicelink.icc", Made(fx::MakeDeviceLinkProfile)},
        {"named colour", "named.icc", Made(fx::MakeNamedColorProfile)},
        {"16 channels ('GCLR')", "sixteen.icc",
         [](const std::string& path) {
             fx::TempDir dir;
             const std::string fifteen = fx::MakeProfileOfSpace(dir.path(), fx::SigColors(15), 15);
             return !fifteen.empty() &&
                    fx::WriteFileBytes(path, ProfileWithColorSpace(fx::ReadFileBytes(fifteen),
                                                                   fx::Sig('G', 'C', 'L', 'R')));
         }},
    };
}

} // namespace

fx::TiffSpec PlainSourceSpec() {
    return fx::RgbSpec(8, 4);
}

std::vector<unsigned char> CraftCutImage() {
    const fx::TiffSpec plain = PlainSourceSpec();
    const uint32_t rowBytes = plain.width * 3;
    std::vector<unsigned char> pixels = fx::PatternPixels(plain);
    pixels.resize(rowBytes * 5 / 2);
    return CraftRgbTiff({plain.width, plain.height, 1, plain.height, rowBytes}, pixels);
}

const std::vector<BadImage>& BadImages() {
    static const std::vector<BadImage> images = MakeBadImages();
    return images;
}

const std::vector<BadProfile>& BadProfiles() {
    static const std::vector<BadProfile> profiles = MakeBadProfiles();
    return profiles;
}

std::string InvalidProfileMessage(const std::string& sourceProfile,
                                  const std::string& destProfile) {
    return "Invalid Profile:\n  " + sourceProfile + "\n  " + destProfile + "'";
}

} // namespace rel
