#pragma once
// Converts one image of a run: builds the transform from the job's two
// profiles, checks the source against them, creates the destination and
// converts it row by row.

#include <cstdint>
#include <string>

#include "IccDefs.h"
#include "TiffImage.h"

class CConversionJob;

// What the run does for an image.
class IImageHooks {
public:
    virtual ~IImageHooks() = default;
    // Shows a message with the error icon and waits until it is dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // Called once after every row written.
    virtual void AdvanceProgress() = 0;
    // Called after the image's rows, before its source is closed.
    virtual void EndOfImagePauseCheck() = 0;
};

// What the run lends one image. The two CTiffImage objects live for the
// whole run; the destination is completed when it is next used or destroyed.
struct ImageResources {
    CTiffImage& source;
    CTiffImage& dest;
    const unsigned char* profileBytes; // null when nothing is embedded
    uint32_t profileSize;
    bool& xyzDestination;
    std::string& messageText;
    IImageHooks& hooks;
};

enum class ImageOutcome {
    Converted,        // every row written
    FailedBeforeRows, // its message has been shown
    StoppedInRows,    // m_bStop set; messageText holds the failure, empty after a cancel
};

ImageOutcome ConvertImage(CConversionJob& job, ImageResources& res, const std::string& sourcePath,
                          const std::string& destPath);

// The intent handed to the source step for an intent index 0..3.
icRenderingIntent SourceIntentFor(int intentIndex);

// Whether a source of this colour model and sample count agrees with the
// source profile's colour space.
bool SourceAgreesWithSpace(icColorSpaceSignature space, uint16_t samples, TiffColorModel model);

// The destination file's colour model and sample count for the destination
// profile's colour space; false for a space that cannot be stored.
bool DestinationLayoutFor(icColorSpaceSignature space, TiffColorModel& model, uint16_t& samples);
