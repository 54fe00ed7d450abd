// The bad and borderline inputs a photographer's folders hold, each with what the program
// does about it. Shared by the table test and the nothing-lost test.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "TiffFixtures.h"

namespace rel {

// How far a source image gets.
enum class Outcome {
    RefusedAtScreening, // the run shows its message and goes on without it
    FailsBeforeRows,    // its message ends the run; no destination is created
    StopsInRows,        // its message ends the run; no destination appears
    Converts,           // no message; the destination equals that of a plain image
    NotListed,          // a folder run never sees it; a single run cannot open it
};

struct BadImage {
    std::string label; // what the input is, for failure messages and the report
    std::string name;  // file name in the source folder
    // Creates the input at the path; false when it could not be made.
    std::function<bool(const std::string& path)> make;
    Outcome outcome;
    // The message the user sees, given the source path; empty for Converts and NotListed.
    std::function<std::string(const std::string& path)> message;
    // The command-line tool's message when it words the failure with its cause.
    std::function<std::string(const std::string& path)> cliMessage = nullptr;
};

// The plain image every comparison starts from: 8 x 4 RGB, 8 bits, one row per strip.
fx::TiffSpec PlainSourceSpec();

// The plain image with one row per strip, cut off half way through its third row.
std::vector<unsigned char> CraftCutImage();

// Every bad or borderline source image. Converts rows are made from the pixels of
// PlainSourceSpec(), so their destination can be compared with that of a plain image.
const std::vector<BadImage>& BadImages();

struct BadProfile {
    std::string label;
    std::string name;
    std::function<bool(const std::string& path)> make;
};

// Every profile file that cannot take part in a conversion, as source or destination.
const std::vector<BadProfile>& BadProfiles();

// The expected message for a profile that cannot be used.
std::string InvalidProfileMessage(const std::string& sourceProfile, const std::string& destProfile);

} // namespace rel
