#include "JobChecks.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "Messages.h"

std::string WithTifExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    // Only a period inside the file name itself counts, and not its first
    // character: "my.photos/out" keeps its folder, ".tif" stays a name.
    std::string result = path;
    if (dot != std::string::npos && dot > nameStart)
        result.erase(dot);
    return result + ".tif";
}

namespace {

std::string StripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The absolute path with every existing folder resolved: the deepest part
// of the path that exists is resolved by the system, the rest is appended.
std::string ResolvedPath(const std::string& input) {
    std::string path = StripTrailingSlashes(input);
    std::string tail;
    while (!path.empty()) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved))
            return StripTrailingSlashes(std::string(resolved) + tail);
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos) {
            tail = "/" + path + tail;
            path = ".";
            continue;
        }
        const std::string last = path.substr(slash + 1);
        if (last == "." || last == "..")
            return input; // cannot be resolved lexically past a missing folder
        tail = "/" + last + tail;
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return input;
}

} // namespace

bool IsSamePath(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    struct stat sa, sb;
    const bool aExists = stat(a.c_str(), &sa) == 0;
    const bool bExists = stat(b.c_str(), &sb) == 0;
    if (aExists && bExists)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (aExists != bExists)
        return false;
    return ResolvedPath(a) == ResolvedPath(b);
}

JobCheckResult CheckJob(const std::string& sourceImage, const std::string& sourceProfile,
                        const std::string& destImage, const std::string& destProfile,
                        bool multipleFiles) {
    JobCheckResult result;
    const char* noun = multipleFiles ? msg::kNounFolders : msg::kNounImages;
    if (sourceImage.empty() || destImage.empty() || sourceProfile.empty() || destProfile.empty()) {
        result.message = FormatText(msg::kMissingFields, noun);
        return result;
    }
    const std::string dest = multipleFiles ? destImage : WithTifExtension(destImage);
    if (IsSamePath(sourceImage, dest)) {
        result.message = FormatText(msg::kSameSourceAndDest, noun);
        return result;
    }
    result.ok = true;
    result.destination = dest;
    return result;
}
