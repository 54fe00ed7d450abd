#pragma once
// One image of a run, in two steps. PrepareImage builds the transform from
// the job's profiles, opens and checks the source against it, creates the
// hidden destination and chooses how the colours are computed: a plan, or
// the refusal's message. ConvertImage then reads, converts and writes the
// rows and puts the destination in place once it is whole. Neither shows
// anything: the run hears the outcome and tells the user.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ColourKernel.h"
#include "ColourPlan.h"
#include "ExtraCarrier.h"
#include "IccCmm.h"
#include "IccDefs.h"
#include "JobChecks.h"
#include "PixelCodec.h"
#include "RowBuffer.h"
#include "TiffImage.h"
#include "TiffMetadata.h"
#include "TiffWriter.h"

struct JobSpec;
class RunControl;

// What the run lends the conversion of one image.
struct ImageJob {
    const JobSpec& spec;
    // The destination profile's bytes when the run embeds it, read once for
    // the whole run; null when nothing is embedded.
    const std::vector<unsigned char>* embedProfile = nullptr;
    // An earlier image of the run had an XYZ destination profile: from then
    // on destinations hold XYZ values as CIELab bytes.
    bool xyzDestination = false;
    // How a path is to appear in a message.
    PathDisplay shown;
};

// One image of the file (a page, or a reduced-resolution copy), as checked
// before the file's first row: every one is checked before anything is
// written, so that a file is converted whole or not at all.
struct PagePlan {
    std::shared_ptr<const CIccCmm> cmm; // shared by pages of one source profile
    PixelLayout layout;
    uint32_t width = 0;
    uint32_t height = 0;
    ColourPlan colour;
    TiffWriteSpec write;             // its metadata is read as the page begins
    std::vector<uint64_t> layoutKey; // what its rows were checked to be
};

// Everything one file's conversion holds, from its preparation to its end.
// Members are destroyed in reverse order: the rows and the kernel before the
// transform they use, the destination (removed unless committed) before the
// source, the extra samples and tags after both files.
struct ImagePlan {
    std::vector<PagePlan> pages;
    CExtraCarrier extras;
    CTiffMetadata metadata;
    CTiffImage source;
    CTiffWriter dest;
    std::string destPath;
    bool keepMetadata = false;
    // The page in hand, from pages[page].
    uint32_t page = 0;
    std::shared_ptr<const CIccCmm> cmm;
    PixelLayout layout;
    uint32_t width = 0;
    uint32_t height = 0;
    ColourPlan colour;
    std::unique_ptr<CColourKernel> kernel; // null on the per-pixel path
    RowBuffer sourceRow;
    RowBuffer destRow;
    std::string shownDest;
    // What the run keeps for its next images.
    bool xyzDestination = false;
};

struct PreparedImage {
    std::unique_ptr<ImagePlan> plan; // null when refused
    std::string refusal;
    std::string cause; // why, in one line; "" when the refusal says all
    // A remark for the user on an image that is converted: it carries a
    // profile other than the chosen source profile.
    std::string note;
};

enum class ImageStatus {
    Converted, // every row written and the destination in place
    Failed,    // stopped in its rows; the message says why
    Cancelled, // stopped in its rows at the user's request
};

struct ImageOutcome {
    ImageStatus status = ImageStatus::Failed;
    std::string message;
    std::string cause; // why, in one line; "" when the message says all
};

PreparedImage PrepareImage(const ImageJob& job, const std::string& sourcePath,
                           const std::string& destPath);

// What the run hears while a file is converted: each row written, and each
// page begun (its index from 0, and the file's count).
struct ImageProgress {
    std::function<void()> rowDone;
    std::function<void(uint32_t page, uint32_t pages)> pageBegun;
};

ImageOutcome ConvertImage(ImagePlan& plan, const RunControl& control,
                          const ImageProgress& progress);
inline ImageOutcome ConvertImage(ImagePlan& plan, const RunControl& control,
                                 const std::function<void()>& rowDone) {
    return ConvertImage(plan, control, ImageProgress{rowDone, {}});
}

// Makes page `index` the one in hand: its source directory opened for rows,
// its destination page begun (the file created for the first), its rows and
// colour kernel. The failure's message, or "" when it is ready; cause, when
// given, receives why.
std::string BeginPage(ImagePlan& plan, uint32_t index, std::string* cause = nullptr);

// Why the destination could not be written ("Cannot write '<path>': <the
// system's reason>"), or "" when the system gave no reason.
std::string WriteCause(const ImagePlan& plan);

// The intent handed to the source step for an intent index 0..4.
icRenderingIntent SourceIntentFor(int intentIndex);
