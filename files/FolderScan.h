#pragma once
// The list of images a folder run converts: the plain files directly inside a
// folder, then only those whose names mark them as TIFF images.

#include <cstdint>
#include <string>
#include <vector>

// Appends the full path of every plain file directly inside the folder (a
// symbolic link to one counts; folders, links to folders, dangling links,
// pipes and devices do not). Each path is the folder made absolute, one '/'
// and the file name. The new entries come sorted by file name, ignoring
// letter case, ties by bytes, so every run goes through a folder in the same
// order. A folder that is empty, missing or unreadable adds nothing; the list
// is never cleared. Returns 0, or the error (errno) that kept the folder from
// being read.
int ScanFolder(std::string folder, std::vector<std::string>& list);

// Removes every entry whose lower-cased extension does not contain ".tif";
// the others keep their order. ".tiff" and ".tifx" stay: whether a file
// really is a TIFF image is found out when it is opened.
void FilterTiffFiles(std::vector<std::string>& list);

// Keeps entries index, index + count, index + 2 * count... (index counted from
// 1), so that count runs given indexes 1..count share a list with no overlap.
void TakeShard(std::vector<std::string>& list, uint32_t index, uint32_t count);
