#include "Causes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FileRead.h"
#include "IccCmm.h"
#include "IccProfileInfo.h"
#include "Messages.h"

namespace cause {
namespace {

std::string Quoted(const Shown& shown) {
    return "'" + shown + "'";
}

// The photometric interpretations the reader does not take, by name.
std::string PhotometricName(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_PALETTE:
        return "Palette";
    case PHOTOMETRIC_MASK:
        return "Transparency mask";
    case PHOTOMETRIC_YCBCR:
        return "YCbCr";
    case PHOTOMETRIC_ITULAB:
        return "ITU L*a*b*";
    case PHOTOMETRIC_CFA:
        return "Colour filter array";
    case PHOTOMETRIC_LOGL:
        return "LogL";
    case PHOTOMETRIC_LOGLUV:
        return "LogLuv";
    case 34892:
        return "Linear raw";
    default:
        return "Photometric " + std::to_string(photometric);
    }
}

// The colour an image's samples hold, as its photometric interpretation says.
std::string ImageSpaceName(const TiffPixelTags& tags) {
    const int colours = tags.namedColours ? tags.namedColours : tags.samplesPerPixel;
    switch (tags.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        return colours == 1 ? "grey" : std::to_string(colours) + "-sample grey";
    case PHOTOMETRIC_RGB:
        return "RGB";
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        return "L*a*b*";
    default: // inks
        return colours == 4 ? "CMYK" : std::to_string(colours) + "-colour";
    }
}

} // namespace

std::string SpaceName(icColorSpaceSignature space) {
    switch (space) {
    case icSigRgbData:
        return "RGB";
    case icSigCmykData:
        return "CMYK";
    case icSigCmyData:
        return "CMY";
    case icSigGrayData:
        return "grey";
    case icSigLabData:
        return "L*a*b*";
    case icSigXYZData:
        return "XYZ";
    default:
        break;
    }
    const int n = icGetSpaceSamples(space);
    if (n == 0)
        return "an unknown colour space";
    return std::to_string(n) + "-colour";
}

std::string CannotOpen(const Shown& shown, int error) {
    return error ? FormatText("Cannot open %s: %s", Quoted(shown).c_str(), strerror(error))
                 : std::string();
}

std::string CannotWrite(const Shown& shown, int error) {
    return error ? FormatText("Cannot write %s: %s", Quoted(shown).c_str(), strerror(error))
                 : std::string();
}

std::string OfUnopened(const std::string& path, const Shown& shown) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Quoted(shown) + " is a folder.";
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return CannotOpen(shown, errno);
    close(fd);
    return std::string();
}

std::string OfProfileFile(const std::string& path, const Shown& shown) {
    const std::string unopened = OfUnopened(path, shown);
    if (!unopened.empty())
        return unopened;
    std::vector<unsigned char> bytes;
    ReadRegularFile(path, bytes, icMaxProfileBytes);
    return OfProfileBytes(bytes, shown);
}

std::string OfProfileBytes(const std::vector<unsigned char>& bytes, const Shown& shown) {
    switch (icSummariseProfile(bytes.data(), bytes.size()).kind) {
    case icProfileSummary::Kind::NotProfile:
        return Quoted(shown) + " is not an ICC profile.";
    case icProfileSummary::Kind::LinkOrNamed:
        return Quoted(shown) + " is a device link or named-colour profile.";
    case icProfileSummary::Kind::Usable:
        break;
    }
    return std::string();
}

std::string OfUnreadTiff(const std::string& path, const Shown& shown) {
    const std::string unopened = OfUnopened(path, shown);
    if (!unopened.empty())
        return unopened;
    unsigned char head[4] = {};
    const int fd = OpenRegularFile(path);
    const bool read = fd >= 0 && ::read(fd, head, 4) == 4;
    if (fd >= 0)
        close(fd);
    const bool tiff =
        read &&
        ((head[0] == 'I' && head[1] == 'I' && head[3] == 0 && (head[2] == 42 || head[2] == 43)) ||
         (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43)));
    return Quoted(shown) + (tiff ? " is a damaged TIFF image." : " is not a TIFF image.");
}

std::string OfSamples(const TiffPixelTags& tags) {
    const char* kind = tags.sampleFormat == SAMPLEFORMAT_IEEEFP ? "floating-point "
                       : tags.sampleFormat == SAMPLEFORMAT_INT  ? "signed "
                                                                : "";
    return std::to_string(tags.bitsPerSample) + "-bit " + kind + "samples";
}

std::string OfMismatch(const TiffPixelTags& tags, const Shown& image, icColorSpaceSignature space,
                       const Shown& profile) {
    if (!IsReadPhotometric(tags.photometric))
        return PhotometricName(tags.photometric) + " images are not read";
    return Quoted(image) + " gives " + ImageSpaceName(tags) + " but " + Quoted(profile) +
           " takes " + SpaceName(space) + ".";
}

std::string OfLink(const std::vector<unsigned char>& source, const Shown& shownSource,
                   const std::vector<unsigned char>& dest, const Shown& shownDest) {
    const icProfileSummary from = icSummariseProfile(source.data(), source.size());
    const icProfileSummary to = icSummariseProfile(dest.data(), dest.size());
    if (icGetSpaceSamples(from.space) == 0)
        return Quoted(shownSource) + " holds " + SpaceName(from.space) + ".";
    if (icGetSpaceSamples(to.space) == 0)
        return Quoted(shownDest) + " holds " + SpaceName(to.space) + ".";
    // Both meet in a connection space, which Little CMS joins whichever
    // each uses: what is left is a destination with no table for the intent.
    return Quoted(shownDest) + " has no way into its colours for this intent.";
}

std::string OfUnwritable(const std::string& path, const Shown& shown) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return Quoted(shown) + " is a folder.";
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return Quoted(shown) + " is not a regular file.";
    if (access(path.c_str(), W_OK) != 0)
        return CannotOpen(shown, errno);
    return std::string();
}

} // namespace cause
