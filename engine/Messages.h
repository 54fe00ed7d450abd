#pragma once
// Every text the engine, the run and the checks before a run show to the
// user, each once. printf-style slots are filled with FormatText.

#include <string>

namespace msg {

// One image
constexpr const char* kInvalidProfile = "Invalid Profile:\n  %s\n  %s'";
constexpr const char* kInvalidTiff = "Invalid Tiff file - '%s'";
constexpr const char* kSourceNot8Bit = "Error: Source image must be 8-bit or 16-bit.";
constexpr const char* kDataTypeMismatch =
    "Error: Data type mismatch between source image and profile.";
constexpr const char* kInvalidDestination = "Invalid destination profile or image pixel format";
constexpr const char* kCannotCreateTiff = "Unable to create Tiff file - '%s'";
constexpr const char* kOutOfMemory = "Out of Memory!";
constexpr const char* kReadFailed =
    "Error: Source image must be 8-bit or 16-bit and only have standard layers.";
constexpr const char* kWriteFailed = "Error: Could not write to %s.";
constexpr const char* kSourceTooLarge = "Error: Source image is too large.";
constexpr const char* kNoEmbeddedProfile = "Error: Source image %s has no embedded profile.";
constexpr const char* kEmbeddedProfileName = "%s (embedded profile)";

// The run
constexpr const char* kScreenNot8Bit = "Error: Source image %s must be 8-bit or 16-bit.";
constexpr const char* kScreenTooLarge = "Error: Source image %s is too large.";
constexpr const char* kFileCount = "File %i of %i";
constexpr const char* kFilePage = "%s, page %i of %i";
constexpr const char* kConversionComplete = "Profile conversion complete.";
// After a run that skipped images: found, converted and skipped (a run that
// skips one and converts one has found two, so "images" always).
constexpr const char* kRunSummary = "Converted %u of %u images; %u skipped.";
constexpr const char* kConversionCancelled = "Conversion cancelled.";
// An image converted from the chosen source profile while it carries
// another: its file name, its profile's description, the chosen one's.
constexpr const char* kOtherProfile =
    "Note: %s carries its own profile '%s'; converting from '%s' as asked.";
// The window's count of such images at the end of a run.
constexpr const char* kOtherProfileCount =
    "%u of the images carry a profile of their own; they were converted from the source "
    "profile, as asked.";
constexpr const char* kOtherProfileOne =
    "One image carries a profile of its own; it was converted from the source profile, as "
    "asked.";

// Checks before a run
constexpr const char* kMissingFields =
    "Both source and destination %s and profiles must be specified";
constexpr const char* kSameSourceAndDest = "Source and destination %s are the same. Don't be dumb.";
constexpr const char* kNounImages = "images";
constexpr const char* kNounFolders = "folders";
constexpr const char* kDestIsFolder = "Error: '%s' is a folder.";

// The command-line tool's own words, where a terminal user needs the cause
constexpr const char* kCannotRead = "Cannot read '%s': %s";
constexpr const char* kNoTiffImages = "No TIFF images in '%s'.";
constexpr const char* kEmptyShard = "Shard %u/%u holds no image of the %u in '%s'.";
constexpr const char* kCannotReadFolder = "Cannot read folder '%s': %s";

} // namespace msg

// printf-style formatting into a string of any length.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
