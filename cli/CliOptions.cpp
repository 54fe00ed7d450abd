#include "CliOptions.h"

#include <getopt.h>

const char* UsageText() {
    return "Usage: chromaport-cli [options] SOURCE DESTINATION\n"
           "Converts 8-bit TIFF images from one ICC colour space to another.\n"
           "\n"
           "  -s, --source-profile FILE   ICC profile of the source images (required)\n"
           "  -d, --dest-profile FILE     ICC profile to convert to (required)\n"
           "  -i, --intent WHICH          source | perceptual | relative | saturation,\n"
           "                              or 0..3 (default relative)\n"
           "  -e, --embed                 embed the destination profile in every output image\n"
           "  -m, --multiple              folder mode: SOURCE and DESTINATION are folders\n"
           "  -q, --quiet                 no progress display\n"
           "  -h, --help                  show this text\n"
           "      --version               show the version\n"
           "\n"
           "In single mode DESTINATION is given the extension .tif. In folder mode every\n"
           "TIFF image directly inside SOURCE is written into DESTINATION under its own name.\n"
           "Ctrl-C cancels after the row in progress; a second Ctrl-C ends at once.\n"
           "\n"
           "Exit status:\n"
           "  0  every image found was converted\n"
           "  1  the run failed or was cancelled, or found nothing to convert\n"
           "  2  wrong usage, or a job refused before it started\n"
           "  3  the run completed, but some images were skipped\n"
           "\n"
           "Examples:\n"
           "  chromaport-cli -s sRGB.icc -d default_cmyk.icc photo.tif photo-cmyk.tif\n"
           "  chromaport-cli -m -e -i perceptual -s sRGB.icc -d default_cmyk.icc scans/ print/\n";
}

int ParseIntent(const std::string& text) {
    static const char* const kNames[] = {"source", "perceptual", "relative", "saturation"};
    for (int i = 0; i < 4; ++i) {
        if (text == kNames[i] || text == std::string(1, char('0' + i)))
            return i;
    }
    return -1;
}

ParseResult ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& error) {
    enum { kVersion = 1000 };
    static const option kLong[] = {
        {"source-profile", required_argument, nullptr, 's'},
        {"dest-profile", required_argument, nullptr, 'd'},
        {"intent", required_argument, nullptr, 'i'},
        {"embed", no_argument, nullptr, 'e'},
        {"multiple", no_argument, nullptr, 'm'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    optind = 1;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":s:d:i:emqh", kLong, nullptr)) != -1) {
        switch (c) {
        case 's':
            options.sourceProfile = optarg;
            break;
        case 'd':
            options.destProfile = optarg;
            break;
        case 'i':
            options.intent = ParseIntent(optarg);
            if (options.intent < 0) {
                error = std::string("unknown intent '") + optarg + "'";
                return ParseResult::UsageError;
            }
            break;
        case 'e':
            options.embed = true;
            break;
        case 'm':
            options.multiple = true;
            break;
        case 'q':
            options.quiet = true;
            break;
        case 'h':
            options.help = true;
            return ParseResult::Ok;
        case kVersion:
            options.version = true;
            return ParseResult::Ok;
        case ':':
            error = std::string("option '") + argv[optind - 1] + "' needs an argument";
            return ParseResult::UsageError;
        default:
            error = std::string("unknown option '") + argv[optind - 1] + "'";
            return ParseResult::UsageError;
        }
    }
    if (argc - optind != 2) {
        error = "expected SOURCE and DESTINATION";
        return ParseResult::UsageError;
    }
    options.source = argv[optind];
    options.destination = argv[optind + 1];
    if (options.sourceProfile.empty() || options.destProfile.empty()) {
        error = "both --source-profile and --dest-profile are required";
        return ParseResult::UsageError;
    }
    return ParseResult::Ok;
}
