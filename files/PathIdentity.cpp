#include "PathIdentity.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

namespace {

std::string StripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

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

bool IsExistingFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
