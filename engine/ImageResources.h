#pragma once
// What a run lends the conversion of one image, and what it hears back.

#include <cstdint>
#include <string>

class CTiffImage;

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
    // A path as it is to appear in a message.
    virtual std::string DisplayPath(const std::string& path) { return path; }
};

// The two CTiffImage objects live for the whole run.
struct ImageResources {
    CTiffImage& source;
    CTiffImage& dest;
    const unsigned char* profileBytes = nullptr; // null when nothing is embedded
    uint32_t profileSize = 0;
    // An earlier image of the run had an XYZ destination profile: from then
    // on destinations hold XYZ values as CIELab bytes.
    bool xyzDestination = false;
    IImageHooks& hooks;
};

enum class ImageOutcome {
    Converted,        // every row written and the destination in place
    FailedBeforeRows, // its message has been shown
    StoppedInRows,    // m_bStop set; message holds the failure, empty after a cancel
};

struct ImageResult {
    ImageOutcome outcome = ImageOutcome::FailedBeforeRows;
    std::string message;
    bool xyzDestination = false; // what the run keeps for its next images
};
