// What a folder tree holds, entry by entry, so a test can show that a run touched nothing
// but the file it was asked to write.
#pragma once

#include <map>
#include <set>
#include <string>

namespace rel {

// Relative path (from the root, '/' separated) -> what is there: "dir", "file <digest>",
// "link -> <target>" or "special". Links are recorded, never followed, and only regular
// files are read, so link loops and pipes are safe to snapshot.
using Snapshot = std::map<std::string, std::string>;

Snapshot TakeSnapshot(const std::string& root);

// Paths added, removed or changed between two snapshots.
std::set<std::string> ChangedPaths(const Snapshot& before, const Snapshot& after);

// The changed paths that are not in `allowed`, as one line for a failure message; empty
// when every change was allowed.
std::string UnexpectedChanges(const Snapshot& before, const Snapshot& after,
                              const std::set<std::string>& allowed);

} // namespace rel
