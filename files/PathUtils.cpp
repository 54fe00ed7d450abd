#include "PathUtils.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Fixed rather than isspace(): the answer must not change with the locale.
const char kBlanks[] = " \t\n\v\f\r";

bool PathExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Success means a folder stands there afterwards, whoever made it: another
// program may make the same folder between our test and our mkdir.
bool EnsureFolder(const std::string& path) {
    if (IsDirectory(path))
        return true;
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsDirectory(path);
}

std::string ReplaceEachOnce(std::string str, const std::string& from, const std::string& to) {
    for (auto pos = str.find(from); pos != std::string::npos;
         pos = str.find(from, pos + to.size())) {
        str.replace(pos, from.size(), to);
    }
    return str;
}

} // namespace

PathParts SplitPath(const std::string& path) {
    PathParts parts;
    const auto slash = path.rfind('/');
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    parts.folder = path.substr(0, nameStart);
    const std::string last = path.substr(nameStart);
    const auto period = last.rfind('.');
    parts.name = last.substr(0, period);
    if (period != std::string::npos)
        parts.ext = last.substr(period);
    return parts;
}

bool FolderExists(std::string path) {
    if (path.empty())
        return false;
    // The root keeps its separator: "/" is the one folder named by it alone.
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return PathExists(path);
}

bool DriveExists(std::string drive) {
    if (drive.empty() || drive.find_first_not_of('/') != std::string::npos)
        return false;
    return PathExists(drive);
}

bool FileExists(std::string path) {
    return TrimString(path) && PathExists(path);
}

bool MakeFolder(std::string path) {
    return TrimString(path) && mkdir(path.c_str(), 0777) == 0;
}

bool CreateFolderChain(std::string path) {
    if (!TrimString(path))
        return false;
    std::string rest = SplitPath(StrReplace(path, "//", "/")).folder;
    if (IsDirectory(rest))
        return true;
    // Past the trim above, blanks belong to folder names, so the folders are
    // made as named rather than through MakeFolder, which would trim them.
    std::string made;
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (!rest.empty() && rest.front() == '/') {
        rest = StrDelete(rest, 0, 1);
        made = "/";
    }
    for (auto slash = rest.find('/'); slash != std::string::npos; slash = rest.find('/')) {
        made += rest.substr(0, slash);
        rest = StrDelete(rest, 0, static_cast<std::ptrdiff_t>(slash) + 1);
        if (!EnsureFolder(made))
            return false;
        made += '/';
    }
    return rest.empty() || EnsureFolder(made + rest);
}

std::string GetFolderPart(std::string path) {
    const PathParts parts = SplitPath(path);
    if (!parts.name.empty() && parts.ext.empty()) {
        const std::string folder = parts.folder + parts.name;
        if (IsDirectory(folder))
            return folder + '/';
    }
    return parts.folder;
}

std::string GetFileName(std::string path) {
    const PathParts parts = SplitPath(path);
    return parts.name + parts.ext;
}

std::string GetFileExt(std::string path) {
    return SplitPath(path).ext;
}

std::string StrDelete(std::string str, std::ptrdiff_t index, std::ptrdiff_t count) {
    const auto length = static_cast<std::ptrdiff_t>(str.size());
    if (index < 0 || index >= length || count < 1)
        return str;
    str.erase(static_cast<std::size_t>(index),
              static_cast<std::size_t>(std::min(count, length - index)));
    return str;
}

std::string StrReplaceChar(std::string str, char from, char to) {
    if (from != '\0')
        std::replace(str.begin(), str.end(), from, to);
    return str;
}

std::string StrReplace(std::string str, const std::string& from, const std::string& to) {
    if (from.empty())
        return str;
    if (to.size() >= from.size())
        return ReplaceEachOnce(std::move(str), from, to);
    // Every replacement shortens the string, so this ends. A new occurrence
    // can only appear where the replacement joins its surroundings; nothing
    // before that can match, so the search resumes there rather than at 0.
    const std::size_t reach = from.size() - 1;
    for (auto pos = str.find(from); pos != std::string::npos;
         pos = str.find(from, pos > reach ? pos - reach : 0)) {
        str.replace(pos, from.size(), to);
    }
    return str;
}

bool TrimString(std::string& str) {
    const auto first = str.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        str.clear();
        return false;
    }
    const auto last = str.find_last_not_of(kBlanks);
    str = str.substr(first, last - first + 1);
    return true;
}
