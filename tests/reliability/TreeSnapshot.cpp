#include "TreeSnapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "TempDir.h"

namespace rel {
namespace {

std::string LinkTarget(const std::string& path) {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    return n < 0 ? std::string() : std::string(buffer.data(), size_t(n));
}

void Walk(const std::string& root, const std::string& relative, Snapshot& out) {
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) {
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string path = root + "/" + rel;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            out[rel] = "dir";
            Walk(root, rel, out);
        } else if (S_ISLNK(st.st_mode)) {
            out[rel] = "link -> " + LinkTarget(path);
        } else if (S_ISREG(st.st_mode)) {
            out[rel] = "file " + fx::FileDigest(path);
        } else {
            out[rel] = "special";
        }
    }
}

} // namespace

Snapshot TakeSnapshot(const std::string& root) {
    Snapshot out;
    Walk(root, "", out);
    return out;
}

std::set<std::string> ChangedPaths(const Snapshot& before, const Snapshot& after) {
    std::set<std::string> changed;
    for (const auto& [path, what] : before) {
        const auto it = after.find(path);
        if (it == after.end() || it->second != what)
            changed.insert(path);
    }
    for (const auto& [path, what] : after) {
        if (!before.count(path))
            changed.insert(path);
    }
    return changed;
}

std::string UnexpectedChanges(const Snapshot& before, const Snapshot& after,
                              const std::set<std::string>& allowed) {
    std::string text;
    for (const std::string& path : ChangedPaths(before, after)) {
        if (allowed.count(path))
            continue;
        const auto was = before.find(path);
        const auto now = after.find(path);
        text += path + " (" + (was == before.end() ? "absent" : was->second) + " => " +
                (now == after.end() ? "absent" : now->second) + ") ";
    }
    return text;
}

} // namespace rel
