#pragma once
// Whether two paths name one file, however they are spelled: "./a.tif",
// "a.tif", a symbolic or hard link, a folder given with or without '/'.

#include <string>

// True when the two paths name the same file or folder: the same text, the
// same device and inode, or the same resolved path when one does not exist.
bool IsSamePath(const std::string& a, const std::string& b);

// The absolute path with every existing folder resolved: the deepest part of
// the path that exists is resolved by the system, the rest is appended. A
// path that cannot be resolved comes back unchanged.
std::string ResolvedPath(const std::string& path);

// True when the path names an existing folder (a link to one included).
bool IsExistingFolder(const std::string& path);
