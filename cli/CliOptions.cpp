#include "CliOptions.h"

#include <getopt.h>

#include <cstdlib>

const char* UsageText() {
    return "Usage: chromaport-cli [options] SOURCE DESTINATION\n"
           "Converts 8-bit and 16-bit TIFF images from one ICC colour space to another.\n"
           "\n"
           "  -s, --source-profile FILE   ICC profile of the source images, or 'embedded'\n"
           "                              (the default): each image's own embedded profile\n"
           "      --fallback-profile FILE with -s embedded: the profile of images that\n"
           "                              carry none (they are refused without it)\n"
           "  -d, --dest-profile FILE     ICC profile to convert to (required)\n"
           "  -i, --intent WHICH          source | perceptual | relative | saturation |\n"
           "                              absolute, or 0..4 (default relative)\n"
           "  -b, --bpc                   black-point compensation: the source's black\n"
           "                              becomes the destination's (not with absolute)\n"
           "  -e, --embed                 embed the destination profile in every output image\n"
           "  -m, --multiple              folder mode: SOURCE and DESTINATION are folders\n"
           "  -q, --quiet                 no progress display\n"
           "  -k, --keep-going            folder mode: go on past an image that fails\n"
           "  -c, --compress HOW          none | lzw | deflate | zstd (default none)\n"
           "      --depth 8|16            bits per sample of the output (default: the\n"
           "                              source's)\n"
           "      --keep-metadata         copy XMP, IPTC, EXIF, date, artist, copyright,\n"
           "                              description and software tags to the output\n"
           "      --shard K/N             folder mode: only every N-th image, from the K-th\n"
           "      --shard auto            the same, K and N from a Slurm job array\n"
           "      --shard auto/N          K from Kubernetes's JOB_COMPLETION_INDEX (+ 1)\n"
           "      --list                  print the source images the run would take, one a\n"
           "                              line (control characters and \\ escaped), and stop\n"
           "      --list0                 the same, unescaped, each name ended by a NUL byte\n"
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
           "  3  the run completed, but some images were skipped or failed\n"
           "\n"
           "Examples:\n"
           "  chromaport-cli -s /usr/share/color/icc/colord/sRGB.icc \\\n"
           "      -d /usr/share/color/icc/ghostscript/default_cmyk.icc photo.tif photo-cmyk.tif\n"
           "  chromaport-cli -m -e -i perceptual -s /usr/share/color/icc/colord/sRGB.icc \\\n"
           "      -d /usr/share/color/icc/ghostscript/default_cmyk.icc scans/ print/\n"
           "  chromaport-cli -m -k -c deflate -s /usr/share/color/icc/colord/sRGB.icc \\\n"
           "      -d /usr/share/color/icc/ghostscript/default_cmyk.icc scans/ print/\n";
}

bool UsesEmbeddedProfiles(const CliOptions& options) {
    return options.sourceProfile.empty() || options.sourceProfile == "embedded";
}

int ParseIntent(const std::string& text) {
    static const char* const kNames[] = {"source", "perceptual", "relative", "saturation",
                                         "absolute"};
    for (int i = 0; i < 5; ++i) {
        if (text == kNames[i] || text == std::string(1, char('0' + i)))
            return i;
    }
    return -1;
}

namespace {

bool ParseCompression(const std::string& text, uint16_t& code) {
    static const struct {
        const char* name;
        uint16_t code;
    } kKinds[] = {{"none", 1}, {"lzw", 5}, {"deflate", 8}, {"zstd", 50000}};
    for (const auto& kind : kKinds)
        if (text == kind.name) {
            code = kind.code;
            return true;
        }
    return false;
}

// Digits only, at most 0xFFFFFFFF; moves text past them.
bool ParseCount(const char*& text, uint32_t& value) {
    if (*text < '0' || *text > '9')
        return false;
    uint64_t n = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        n = n * 10 + uint64_t(*text - '0');
        if (n > 0xFFFFFFFFu)
            return false;
    }
    value = uint32_t(n);
    return true;
}

// A variable of the job scheduler's as a count; error names it when it is
// missing or not a count.
bool CountFromEnvironment(const char* name, uint32_t& value, std::string& error) {
    const char* text = getenv(name);
    if (!text) {
        error = std::string("--shard auto needs ") + name + ", which is not set";
        return false;
    }
    const char* at = text;
    if (!ParseCount(at, value) || *at != '\0') {
        error = std::string("--shard auto: ") + name + " is '" + text + "', not a count";
        return false;
    }
    return true;
}

// "auto": the shard of this task of a Slurm job array (its first task takes
// shard 1); "auto/N": shard index + 1 of N, from Kubernetes's 0-based
// completion index.
bool ShardFromEnvironment(const std::string& text, uint32_t& index, uint32_t& count,
                          std::string& error) {
    uint32_t k = 0, n = 0;
    if (text == "auto") {
        uint32_t id = 0, first = 0, step = 1;
        if (!CountFromEnvironment("SLURM_ARRAY_TASK_ID", id, error) ||
            !CountFromEnvironment("SLURM_ARRAY_TASK_MIN", first, error) ||
            !CountFromEnvironment("SLURM_ARRAY_TASK_COUNT", n, error) ||
            (getenv("SLURM_ARRAY_TASK_STEP") &&
             !CountFromEnvironment("SLURM_ARRAY_TASK_STEP", step, error)))
            return false;
        if (step != 1) {
            error = "--shard auto takes arrays of step 1, not SLURM_ARRAY_TASK_STEP " +
                    std::to_string(step);
            return false;
        }
        k = id >= first ? id - first + 1 : 0;
    } else {
        const char* at = text.c_str() + 5; // past "auto/"
        uint32_t completion = 0;
        if (!ParseCount(at, n) || *at != '\0') {
            error = "--shard takes K/N, auto or auto/N, not '" + text + "'";
            return false;
        }
        if (!CountFromEnvironment("JOB_COMPLETION_INDEX", completion, error))
            return false;
        k = completion < 0xFFFFFFFFu ? completion + 1 : 0;
    }
    if (k < 1 || k > n) {
        error = "--shard " + text + " gives shard " + std::to_string(k) + " of " +
                std::to_string(n) + ", not 1 <= K <= N";
        return false;
    }
    index = k, count = n;
    return true;
}

// "K/N" with 1 <= K <= N, and nothing else: no sign, no blank anywhere, as a
// script that builds the text wrongly should hear of it.
bool ParseShard(const std::string& text, uint32_t& index, uint32_t& count) {
    const char* at = text.c_str();
    uint32_t k = 0, n = 0;
    if (!ParseCount(at, k) || *at++ != '/' || !ParseCount(at, n) ||
        at != text.c_str() + text.size())
        return false;
    if (k < 1 || k > n)
        return false;
    index = k;
    count = n;
    return true;
}

// Codes of the long options that have no short form.
enum { kVersion = 1000, kKeepMetadata, kShard, kList, kList0, kDepth, kFallback };

const char kShortOptions[] = ":s:d:i:bemqkc:h";
const option kLongOptions[] = {
    {"source-profile", required_argument, nullptr, 's'},
    {"dest-profile", required_argument, nullptr, 'd'},
    {"fallback-profile", required_argument, nullptr, kFallback},
    {"intent", required_argument, nullptr, 'i'},
    {"bpc", no_argument, nullptr, 'b'},
    {"embed", no_argument, nullptr, 'e'},
    {"multiple", no_argument, nullptr, 'm'},
    {"quiet", no_argument, nullptr, 'q'},
    {"keep-going", no_argument, nullptr, 'k'},
    {"compress", required_argument, nullptr, 'c'},
    {"keep-metadata", no_argument, nullptr, kKeepMetadata},
    {"depth", required_argument, nullptr, kDepth},
    {"shard", required_argument, nullptr, kShard},
    {"list", no_argument, nullptr, kList},
    {"list0", no_argument, nullptr, kList0},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

// The options that only switch something on; whether code is one of them.
bool SetSwitch(int code, CliOptions& options) {
    static const struct {
        int code;
        bool CliOptions::*member;
    } kSwitches[] = {
        {'b', &CliOptions::blackPointCompensation},
        {'e', &CliOptions::embed},
        {'m', &CliOptions::multiple},
        {'q', &CliOptions::quiet},
        {'k', &CliOptions::keepGoing},
        {kKeepMetadata, &CliOptions::keepMetadata},
        {kList, &CliOptions::list},
        {kList0, &CliOptions::list},
        {kList0, &CliOptions::listNul},
    };
    bool found = false;
    for (const auto& option : kSwitches)
        if (option.code == code) {
            options.*option.member = true;
            found = true;
        }
    return found;
}

// The options that take an argument; false, with error set, when the
// argument is not one the option takes.
bool SetValue(int code, const char* arg, CliOptions& options, std::string& error) {
    switch (code) {
    case 's':
        options.sourceProfile = arg;
        return true;
    case 'd':
        options.destProfile = arg;
        return true;
    case kFallback:
        options.fallbackProfile = arg;
        return true;
    case 'i':
        options.intent = ParseIntent(arg);
        if (options.intent < 0) {
            error = std::string("unknown intent '") + arg + "'";
            return false;
        }
        return true;
    case 'c':
        if (!ParseCompression(arg, options.compression)) {
            error = std::string("--compress takes none, lzw, deflate or zstd, not '") + arg + "'";
            return false;
        }
        return true;
    case kDepth:
        options.depth = std::string(arg) == "8" ? 8 : std::string(arg) == "16" ? 16 : 0;
        if (options.depth == 0) {
            error = std::string("--depth takes 8 or 16, not '") + arg + "'";
            return false;
        }
        return true;
    default: // kShard, the last one with an argument
        if (std::string(arg) == "auto" || std::string(arg).rfind("auto/", 0) == 0)
            return ShardFromEnvironment(arg, options.shardIndex, options.shardCount, error);
        if (!ParseShard(arg, options.shardIndex, options.shardCount)) {
            error = std::string("--shard takes K/N with 1 <= K <= N, not '") + arg + "'";
            return false;
        }
        return true;
    }
}

// What is left after the options: the two operands, and the options that
// only make sense together.
ParseResult CheckOperands(int argc, char** argv, CliOptions& options, std::string& error) {
    if (argc - optind != 2) {
        error = "expected SOURCE and DESTINATION";
        return ParseResult::UsageError;
    }
    options.source = argv[optind];
    options.destination = argv[optind + 1];
    if (options.shardCount > 1 && !options.multiple) {
        error = "--shard needs folder mode (-m)";
        return ParseResult::UsageError;
    }
    if (!options.fallbackProfile.empty() && !UsesEmbeddedProfiles(options)) {
        error = "--fallback-profile needs -s embedded";
        return ParseResult::UsageError;
    }
    if (options.destProfile.empty() && !options.list) {
        error = "--dest-profile is required";
        return ParseResult::UsageError;
    }
    return ParseResult::Ok;
}

} // namespace

ParseResult ParseCommandLine(int argc, char** argv, CliOptions& options, std::string& error) {
    optind = 1;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
        // Help and the version end the parsing: nothing after them is looked at.
        if (c == 'h' || c == kVersion) {
            (c == 'h' ? options.help : options.version) = true;
            return ParseResult::Ok;
        }
        if (c == ':') {
            error = std::string("option '") + argv[optind - 1] + "' needs an argument";
            return ParseResult::UsageError;
        }
        if (c == '?') {
            error = std::string("unknown option '") + argv[optind - 1] + "'";
            return ParseResult::UsageError;
        }
        if (!SetSwitch(c, options) && !SetValue(c, optarg, options, error))
            return ParseResult::UsageError;
    }
    return CheckOperands(argc, argv, options, error);
}
