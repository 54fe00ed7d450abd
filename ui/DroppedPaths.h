#pragma once
// What a drag from a file manager carries, as paths of this machine.

#include <string>
#include <vector>

class QMimeData;

// The local paths of the dragged files and folders, in order; empty when the
// drag carries no file, or anything that is not a local file (a web address,
// a file on another machine), so that such drags are refused whole.
std::vector<std::string> DroppedLocalPaths(const QMimeData& data);

// Whether the name ends in ".tif" or ".tiff", in any letter case.
bool IsTiffName(const std::string& path);
// Whether the name ends in ".icc" or ".icm", in any letter case.
bool IsProfileName(const std::string& path);
