#include "VersionStamp.h"

#include "UiTexts.h"

#include <sys/stat.h>

std::string FormatLocalTime(std::time_t time, const char* format) {
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return std::string();
    }
    char buffer[128];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, length);
}

std::string GetFileVersionStamp(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) {
        return std::string();
    }
    return FormatLocalTime(info.st_mtime, txt::kVersionStampFormat);
}

std::string GetVersionStamp() {
    // The link leads to the program file even when it has been moved or replaced.
    return GetFileVersionStamp("/proc/self/exe");
}
