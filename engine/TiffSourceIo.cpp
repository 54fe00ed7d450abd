#include "TiffSourceIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "MemoryPages.h"

namespace {

// Bytes read ahead of what libtiff asks: a few hundred rows of a photo.
constexpr size_t kAhead = size_t(1) << 20;

// The file and a window of its bytes. libtiff's position is ours alone, so
// a read never depends on where another handle on the file left off.
struct Source {
    int fd = -1;
    uint64_t pos = 0;
    uint64_t start = 0; // the window holds [start, start + length)
    size_t length = 0;
    std::unique_ptr<unsigned char[]> window{new unsigned char[kAhead]};
};

// pread that goes on after interruptions and short reads; what it read, or
// -1 when it read nothing and failed.
ssize_t ReadAt(int fd, unsigned char* to, size_t size, uint64_t at) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pread(fd, to + done, size - done, off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done > 0 ? ssize_t(done) : n;
        done += size_t(n);
    }
    return ssize_t(done);
}

tmsize_t Read(thandle_t handle, void* to, tmsize_t size) {
    Source& s = *static_cast<Source*>(handle);
    auto* out = static_cast<unsigned char*>(to);
    size_t done = 0, wanted = size > 0 ? size_t(size) : 0;
    while (done < wanted) {
        if (s.pos >= s.start && s.pos < s.start + s.length) {
            const size_t n = std::min(wanted - done, size_t(s.start + s.length - s.pos));
            memcpy(out + done, s.window.get() + (s.pos - s.start), n);
            done += n, s.pos += n;
            continue;
        }
        // Large reads go straight to the caller's memory.
        const bool direct = wanted - done >= kAhead;
        const ssize_t n = direct ? ReadAt(s.fd, out + done, wanted - done, s.pos)
                                 : ReadAt(s.fd, s.window.get(), kAhead, s.pos);
        if (n < 0)
            return done > 0 ? tmsize_t(done) : -1;
        if (n == 0)
            break; // the end of the file
        if (direct) {
            done += size_t(n), s.pos += uint64_t(n);
        } else {
            s.start = s.pos, s.length = size_t(n);
        }
    }
    return tmsize_t(done);
}

tmsize_t Write(thandle_t, void*, tmsize_t) {
    errno = EBADF;
    return -1;
}

uint64_t Size(thandle_t handle) {
    struct stat st;
    return fstat(static_cast<Source*>(handle)->fd, &st) == 0 ? uint64_t(st.st_size) : 0;
}

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    Source& s = *static_cast<Source*>(handle);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) {
        errno = EINVAL;
        return toff_t(-1);
    }
    const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s.pos : Size(handle);
    // Offsets are unsigned: a step back arrives as its two's complement.
    s.pos = base + offset;
    return s.pos;
}

int Close(thandle_t handle) {
    auto* s = static_cast<Source*>(handle);
    const int closed = close(s->fd);
    delete s;
    return closed;
}

int Map(thandle_t, void**, toff_t*) {
    return 0; // never mapped: a file that shrinks gives a read error, not a crash
}

void Unmap(thandle_t, void*, toff_t) {}

} // namespace

TIFF* OpenBufferedSource(int fd, const char* path, const char* mode, TIFFOpenOptions* options) {
    Source* s = nullptr;
    try {
        s = new Source;
    } catch (const std::bad_alloc&) {
        close(fd);
        return nullptr;
    }
    s->fd = fd;
    PrepareForWriting(s->window.get(), kAhead);
    TIFF* tif =
        TIFFClientOpenExt(path, mode, s, Read, Write, Seek, Close, Size, Map, Unmap, options);
    if (!tif) {
        Close(s); // libtiff leaves the handle to its owner when it fails
        return nullptr;
    }
    TIFFSetFileno(tif, fd);
    return tif;
}

void ForgetReadAhead(TIFF* tif) {
    static_cast<Source*>(TIFFClientdata(tif))->length = 0;
}
