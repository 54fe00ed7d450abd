#include "ColorDirectory.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// An unset or empty variable takes its default.
std::string Environment(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

std::vector<std::string> Candidates() {
    std::vector<std::string> folders;
    const std::string home = Environment("HOME", std::string());
    const std::string dataHome =
        Environment("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
    if (!dataHome.empty()) {
        folders.push_back(dataHome + "/icc");
    }
    std::istringstream dataDirs(Environment("XDG_DATA_DIRS", "/usr/local/share:/usr/share"));
    for (std::string dir; std::getline(dataDirs, dir, ':');) {
        if (!dir.empty()) {
            folders.push_back(dir + "/color/icc");
        }
    }
    return folders;
}

} // namespace

std::string GetColorDirectory() {
    for (const std::string& folder : Candidates()) {
        // Relative entries are invalid in these variables and are skipped.
        if (folder.front() == '/' && IsFolder(folder)) {
            return folder;
        }
    }
    return std::string();
}
