#pragma once
// Questions about files and folders, asked with paths as plain narrow strings.
// The separator is '/'; a backslash is an ordinary character of a name, and
// paths have no drive part. Nothing here throws or shows anything: a failure
// is a false or an empty result, and the callers word the messages.

#include <cstddef>
#include <string>

// The parts of a path; joined again in this order they give the path back.
struct PathParts {
    std::string folder; // up to and including the last '/', else empty
    std::string name;   // the last component up to its last period
    std::string ext;    // the last component from its last period on, else empty
};

// ".profile" splits into an empty name and the extension ".profile".
PathParts SplitPath(const std::string& path);

// True when the path exists, as a folder or as a file. One trailing '/' is
// ignored, so "photos" and "photos/" ask the same question.
bool FolderExists(std::string path);
// The file system is one tree without drive letters; its root "/" is the only
// drive there is. Anything else, a letter with a colon included, is false.
bool DriveExists(std::string drive);
// True when the path, blanks around it ignored, exists.
bool FileExists(std::string path);
// Makes one folder (blanks around the path ignored). False when nothing was
// made: the folder was already there, its parent is missing, or it was refused.
bool MakeFolder(std::string path);
// Makes every missing folder of the path's folder part. The last component is
// taken for a file name and not made: end the path with '/' to have it made
// too. Runs of '/' count as one. Folders made before a failure stay. True when
// every folder of the chain is a folder afterwards.
bool CreateFolderChain(std::string path);
// The folder part of the path, ending in '/'. A last component without an
// extension that names an existing folder is taken as that folder. A bare file
// name gives an empty result.
std::string GetFolderPart(std::string path);
// The last component: name and extension.
std::string GetFileName(std::string path);
// The extension of the last component with its period, else empty.
std::string GetFileExt(std::string path);

// String helpers of the path functions.

// Without count characters from index on; unchanged when index is outside the
// string or count is below 1; count is cut to the characters that remain.
std::string StrDelete(std::string str, std::ptrdiff_t index, std::ptrdiff_t count);
// Every from replaced by to; unchanged when from is NUL.
std::string StrReplaceChar(std::string str, char from, char to);
// When to is shorter than from, replaces one occurrence at a time, searching
// again from the start until none is left, so "//" by "/" turns any run of
// slashes into one. Otherwise one pass from left to right, which cannot run
// forever when to contains from. Unchanged when from is empty.
std::string StrReplace(std::string str, const std::string& from, const std::string& to);
// Removes leading and trailing white space; true when something is left.
bool TrimString(std::string& str);
