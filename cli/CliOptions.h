#pragma once
// The command line of chromaport-cli.

#include <cstdint>
#include <string>

struct CliOptions {
    // Empty, or "embedded": each image's own embedded profile.
    std::string sourceProfile;
    std::string destProfile;
    // With embedded profiles: the profile of the images that carry none.
    std::string fallbackProfile;
    int intent = 2; // relative colorimetric, as the window starts
    bool blackPointCompensation = false;
    bool embed = false;
    bool multiple = false;
    bool quiet = false;
    bool keepGoing = false;
    bool keepMetadata = false;
    bool list = false;
    bool listNul = false;     // --list0: raw names, each ended by a NUL byte
    uint16_t compression = 1; // TIFF's code for none
    int depth = 0;            // bits per sample of the output; 0: the source's
    uint32_t shardIndex = 1, shardCount = 1;
    bool help = false;
    bool version = false;
    std::string source;
    std::string destination;
};

enum class ParseResult { Ok, UsageError };

// Fills options from argv; on a usage error, error holds what was wrong.
ParseResult ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& error);

// The intent index for a word or digit: source, perceptual, relative,
// saturation, absolute, or 0..4; -1 when it is none of them.
int ParseIntent(const std::string& text);

const char* UsageText();

// Whether the images' own embedded profiles are their source profiles.
bool UsesEmbeddedProfiles(const CliOptions& options);
