#pragma once
// Files written under a hidden temporary name in the folder of their final
// name, and renamed over it only once complete: a run that fails, is
// cancelled, killed or crashes never leaves a half-written file under the
// final name, and an earlier file of that name stays whole until then.
// Writing never goes through the final name, so a link found there is
// replaced and whatever it points at is left alone.

#include <string>

// Creates ".NAME.XXXXXX.tmp" beside finalPath, with the permission bits the
// finished file is to have: those of the regular file it will replace, else
// 0666 less the umask. Returns its descriptor (close-on-exec), or -1. The
// file is removed by RemovePendingFiles until committed or discarded.
int CreatePendingFile(const std::string& finalPath, std::string& tempPath);
// Renames the temporary file, which the caller has synced to disk, over the
// final name and syncs the folder, so that after a power cut the name holds
// the old file or the whole new one; on failure the temporary file is
// removed and false returned.
bool CommitPendingFile(const std::string& tempPath, const std::string& finalPath);
// Removes the temporary file.
void DiscardPendingFile(const std::string& tempPath);

// Whether the final name may be replaced: nothing is there, a link is there
// (the link itself is replaced), or a regular file the user may write.
bool MayReplace(const std::string& finalPath);

// Removes every temporary file not yet committed or discarded. Safe to call
// from a signal handler.
void RemovePendingFiles();
// From now on SIGTERM and SIGHUP, and SIGINT when asked, remove the pending
// files and then end the process as the signal would have.
void RemovePendingFilesOnSignals(bool includeInterrupt);
// Removes the pending files, then ends the process by the signal's default
// action; for handlers of a program's own.
[[noreturn]] void RemovePendingFilesAndDie(int signalNumber);
