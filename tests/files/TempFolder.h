#pragma once
// A folder of its own for each test, made under $TMPDIR (or /tmp) and removed
// with everything in it when the test ends.

#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Absolute, without a trailing '/'.
    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& relative) const { return m_strPath + '/' + relative; }

    // Relative to Path(); parents must exist.
    void MakeDir(const std::string& relative) const;
    void MakeFile(const std::string& relative) const;

private:
    std::string m_strPath;
};

bool IsDir(const std::string& path);
bool IsFile(const std::string& path);
// Every name below the folder, relative to it, sorted; for "nothing else was made".
std::vector<std::string> TreeOf(const std::string& folder);

// Moves into a folder for the life of the object and back out afterwards.
class CurrentFolderGuard {
public:
    explicit CurrentFolderGuard(const std::string& folder);
    ~CurrentFolderGuard();
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    std::string m_strPrevious;
};
