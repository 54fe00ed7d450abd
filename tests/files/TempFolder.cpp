#include "TempFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/chromaport-files-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed for " + pattern);
    m_strPath = fs::canonical(pattern).string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Tests take write permission away from some folders; give it back first.
    for (auto it = fs::recursive_directory_iterator(m_strPath, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_strPath, ec);
}

void TempFolder::MakeDir(const std::string& relative) const {
    if (!fs::create_directory(*this / relative))
        throw std::runtime_error("could not make folder " + relative);
}

void TempFolder::MakeFile(const std::string& relative) const {
    std::ofstream file(*this / relative);
    file << "not an image\n";
    if (!file)
        throw std::runtime_error("could not write file " + relative);
}

bool IsDir(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::vector<std::string> TreeOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

CurrentFolderGuard::CurrentFolderGuard(const std::string& folder)
    : m_strPrevious(fs::current_path().string()) {
    fs::current_path(folder);
}

CurrentFolderGuard::~CurrentFolderGuard() {
    std::error_code ec;
    fs::current_path(m_strPrevious, ec);
}
