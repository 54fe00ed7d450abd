#include "FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int OpenRegularFile(const std::string& path) {
    // O_NONBLOCK keeps open() itself from waiting for a pipe's writer; it is
    // cleared again once the file is known to be an ordinary one.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ReadRegularFile(const std::string& path, std::vector<unsigned char>& bytes, size_t maxBytes) {
    bytes.clear();
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    bool ok = true;
    unsigned char chunk[65536];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || bytes.size() + size_t(got) > maxBytes) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}
