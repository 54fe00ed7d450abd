#include "FolderScan.h"

#include "PathUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

std::string CurrentFolder() {
    const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    return cwd ? std::string(cwd.get()) : std::string();
}

// Runs of '/' and "." components go; ".." stays, because behind a symbolic
// link only the file system knows which folder it leads to. The result has no
// trailing '/' unless it is the root. Should the current folder be unknown, a
// relative folder stays relative: its paths still lead to the files.
std::string AbsoluteFolder(const std::string& folder) {
    std::string path = folder;
    if (path.front() != '/') {
        const std::string cwd = CurrentFolder();
        if (!cwd.empty())
            path = cwd + '/' + path;
    }
    const bool absolute = path.front() == '/';
    std::string tidy;
    std::size_t start = 0;
    while (start < path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (absolute || !tidy.empty())
                tidy += '/';
            tidy += part;
        }
        start = end + 1;
    }
    if (tidy.empty())
        return absolute ? "/" : ".";
    return tidy;
}

// stat() follows links, so a link to a file counts as the file it leads to.
bool IsPlainFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

unsigned char FoldCase(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool FileNameLess(const std::string& a, const std::string& b) {
    const auto foldedLess = [](char x, char y) { return FoldCase(x) < FoldCase(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), foldedLess))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), foldedLess))
        return false;
    return a < b;
}

std::vector<std::string> PlainFileNames(const std::string& folder, const std::string& prefix,
                                        int& error) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    error = dir ? 0 : errno;
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && IsPlainFile(prefix + name))
            names.push_back(name);
    }
    return names;
}

bool HasTiffExtension(const std::string& path) {
    std::string ext = GetFileExt(path);
    std::transform(ext.begin(), ext.end(), ext.begin(), FoldCase);
    return ext.find(".tif") != std::string::npos;
}

} // namespace

int ScanFolder(std::string folder, std::vector<std::string>& list) {
    if (folder.empty())
        return ENOENT;
    const std::string base = AbsoluteFolder(folder);
    const std::string prefix = base == "/" ? base : base + '/';
    int error = 0;
    std::vector<std::string> names = PlainFileNames(base, prefix, error);
    std::sort(names.begin(), names.end(), FileNameLess);
    for (const std::string& name : names)
        list.push_back(prefix + name);
    return error;
}

void FilterTiffFiles(std::vector<std::string>& list) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const std::string& path) { return !HasTiffExtension(path); }),
               list.end());
}

void TakeShard(std::vector<std::string>& list, uint32_t index, uint32_t count) {
    if (count <= 1 || index < 1 || index > count)
        return;
    size_t kept = 0;
    for (size_t i = index - 1; i < list.size(); i += count, ++kept)
        if (kept != i)
            list[kept] = std::move(list[i]);
    list.resize(kept);
}
