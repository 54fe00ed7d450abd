#pragma once
// Why a failure happened, in one line under the message that says what
// failed: the messages are fixed texts that scripts match, and several
// failures share one, so the cause is what tells them apart.

#include <string>
#include <vector>

#include "IccDefs.h"
#include "PixelFormat.h"

namespace cause {

// How a path appears in a cause: as the message shows it.
using Shown = std::string;

// The system's reason for a failure to open or to write a file:
// "Cannot open '<path>': <reason>", "Cannot write '<path>': <reason>"; ""
// when error is 0.
std::string CannotOpen(const Shown& shown, int error);
std::string CannotWrite(const Shown& shown, int error);
// Why a file or folder that was to be read or written could not be opened:
// "Cannot open '<path>': <the system's reason>", "'<path>' is a folder." for
// a folder where a file belongs, or "" when it opens as a file.
std::string OfUnopened(const std::string& path, const Shown& shown);
// Why a profile file was refused: it does not open, is no profile, or is a
// kind no conversion uses.
std::string OfProfileFile(const std::string& path, const Shown& shown);
// The same for a profile's bytes (an image's own).
std::string OfProfileBytes(const std::vector<unsigned char>& bytes, const Shown& shown);
// Why a file that opens is not read as a TIFF image.
std::string OfUnreadTiff(const std::string& path, const Shown& shown);
// What was found in an image whose samples are not converted: "4-bit samples".
std::string OfSamples(const TiffPixelTags& tags);
// Why an image's pixels do not agree with its profile: a photometric
// interpretation never read, or "'<image>' gives RGB but '<profile>' takes CMYK.".
std::string OfMismatch(const TiffPixelTags& tags, const Shown& image, icColorSpaceSignature space,
                       const Shown& profile);
// Why two profiles that each open do not link: a colour space the layer
// does not convert, or a destination with no way into it.
std::string OfLink(const std::vector<unsigned char>& source, const Shown& shownSource,
                   const std::vector<unsigned char>& dest, const Shown& shownDest);
// Why a destination may not be replaced: what stands at its name, or the
// system's reason it may not be written.
std::string OfUnwritable(const std::string& path, const Shown& shown);

// A colour space as users name it: "RGB", "CMYK", "grey", "L*a*b*", "6-colour"...
std::string SpaceName(icColorSpaceSignature space);

} // namespace cause
