#include "PendingFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Pending files are kept where a signal handler can reach them without
// allocating or locking: a few fixed slots, each claimed with one atomic.
enum SlotState { kFree = 0, kBusy = 1, kArmed = 2 };
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
constexpr int kSlots = 16;
Slot g_slots[kSlots];

void Remember(const std::string& path) {
    if (path.size() >= PATH_MAX)
        return;
    for (Slot& slot : g_slots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kBusy)) {
            memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(kArmed);
            return;
        }
    }
}

void Forget(const std::string& path) {
    for (Slot& slot : g_slots) {
        int expected = kArmed;
        if (slot.state.load() != kArmed || path != slot.path)
            continue;
        if (slot.state.compare_exchange_strong(expected, kBusy)) {
            slot.path[0] = '\0';
            slot.state.store(kFree);
            return;
        }
    }
}

mode_t CurrentUmask() {
    // Read, not set: umask() can only be asked by changing it, which would
    // race with files other threads create.
    FILE* f = fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (f) {
        char line[256];
        while (fgets(line, sizeof line, f))
            if (sscanf(line, "Umask: %o", &mask) == 1)
                break;
        fclose(f);
    }
    return static_cast<mode_t>(mask & 0777);
}

// The finished file keeps the owner and permission bits of the one it
// replaces, as an in-place rewrite would.
void TakeOverAttributes(int fd, const std::string& finalPath) {
    struct stat st;
    if (lstat(finalPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only the owner or root may give a file away; the new file is
            // then the user's own, which is what writing it makes it anyway.
        }
        fchmod(fd, st.st_mode & 07777);
        return;
    }
    fchmod(fd, 0666 & ~CurrentUmask());
}

std::string TempTemplateFor(const std::string& finalPath) {
    const size_t slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
    // Room for the dot, the random part and ".tmp" within a name's limit.
    constexpr size_t kMaxNameBytes = 200;
    if (name.size() > kMaxNameBytes)
        name.resize(kMaxNameBytes);
    // The name ends in ".tmp", so the folder scan never takes it for an image.
    return folder + "." + name + ".XXXXXX.tmp";
}

// Makes a rename into the folder survive a power cut. A failure is not the
// image's: it is whole under its name, and the system will write the folder
// out in its own time.
void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

} // namespace

int CreatePendingFile(const std::string& finalPath, std::string& tempPath) {
    std::string pattern = TempTemplateFor(finalPath);
    const int fd = mkostemps(&pattern[0], 4, O_CLOEXEC);
    if (fd < 0)
        return -1;
    tempPath = pattern;
    Remember(tempPath);
    TakeOverAttributes(fd, finalPath);
    return fd;
}

bool CommitPendingFile(const std::string& tempPath, const std::string& finalPath) {
    const bool ok = rename(tempPath.c_str(), finalPath.c_str()) == 0;
    if (!ok)
        unlink(tempPath.c_str());
    Forget(tempPath);
    if (ok)
        SyncFolderOf(finalPath);
    return ok;
}

void DiscardPendingFile(const std::string& tempPath) {
    unlink(tempPath.c_str());
    Forget(tempPath);
}

bool MayReplace(const std::string& finalPath) {
    struct stat st;
    if (lstat(finalPath.c_str(), &st) != 0)
        return errno == ENOENT;
    if (S_ISLNK(st.st_mode))
        return true;
    return S_ISREG(st.st_mode) && access(finalPath.c_str(), W_OK) == 0;
}

void RemovePendingFiles() {
    for (Slot& slot : g_slots)
        if (slot.state.load() == kArmed)
            unlink(slot.path);
}

void RemovePendingFilesAndDie(int signalNumber) {
    RemovePendingFiles();
    // The signal is blocked while its handler runs: unblock it, so that it
    // ends the process now with its own status.
    signal(signalNumber, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);
}

void RemovePendingFilesOnSignals(bool includeInterrupt) {
    struct sigaction sa {};
    sa.sa_handler = RemovePendingFilesAndDie;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    if (includeInterrupt)
        sigaction(SIGINT, &sa, nullptr);
}
