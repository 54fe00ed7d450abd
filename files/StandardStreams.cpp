#include "StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

void EnsureStandardStreamsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() returns the lowest free number, which is this one.
        const int opened = open("/dev/null", O_RDWR);
        if (opened > 2)
            close(opened);
    }
}
