#pragma once
// The command line of chromaport-cli.

#include <string>

struct CliOptions {
    std::string sourceProfile;
    std::string destProfile;
    int intent = 2; // relative colorimetric, as the window starts
    bool embed = false;
    bool multiple = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string source;
    std::string destination;
};

enum class ParseResult { Ok, UsageError };

// Fills options from argv; on a usage error, error holds what was wrong.
ParseResult ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& error);

// The intent index for a word or digit: source, perceptual, relative,
// saturation, or 0..3; -1 when it is none of them.
int ParseIntent(const std::string& text);

const char* UsageText();
