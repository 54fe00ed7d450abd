#include "TiffFileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "MemoryPages.h"

namespace {

// Bytes read ahead of what libtiff asks, and held back from the disk: a few
// hundred rows of a photo.
constexpr size_t kBlock = size_t(1) << 20;

// A file, libtiff's position in it and a block of its bytes: read ahead for
// a source, not yet written for a sink. The position is ours alone, so
// nothing depends on where another handle on the file left off.
struct File {
    int fd = -1;
    uint64_t pos = 0;
    uint64_t start = 0; // the block holds [start, start + length)
    size_t length = 0;
    bool sink = false;
    uint64_t written = 0; // a sink's end
    std::unique_ptr<unsigned char[]> block{new unsigned char[kBlock]};
};

File& FileOf(thandle_t handle) {
    return *static_cast<File*>(handle);
}

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

// False, with the system's errno, unless every byte was written.
bool WriteAt(int fd, const unsigned char* from, size_t size, uint64_t at) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = pwrite(fd, from + done, size - done, off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC; // a write that stops without a reason
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// A sink's file starts empty and grows only through libtiff, so its size is
// known without asking: libtiff asks before every strip it appends.
uint64_t Size(thandle_t handle) {
    const File& f = FileOf(handle);
    struct stat st;
    if (f.sink)
        return f.written;
    return fstat(f.fd, &st) == 0 ? uint64_t(st.st_size) : 0;
}

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    File& f = FileOf(handle);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) {
        errno = EINVAL;
        return toff_t(-1);
    }
    const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.pos : Size(handle);
    // Offsets are unsigned: a step back arrives as its two's complement.
    f.pos = base + offset;
    return f.pos;
}

// A sink's held-back bytes onto the disk.
bool Flush(File& f) {
    const size_t n = f.length;
    f.length = 0;
    return n == 0 || WriteAt(f.fd, f.block.get(), n, f.start);
}

int Close(thandle_t handle) {
    File* f = &FileOf(handle);
    // A sink's failure to flush here is told by nobody: the writer flushes
    // it (FlushBufferedSink) before it commits the file.
    Flush(*f);
    const int closed = close(f->fd);
    delete f;
    return closed;
}

int Map(thandle_t, void**, toff_t*) {
    return 0; // never mapped: a file that shrinks gives a read error, not a crash
}

void Unmap(thandle_t, void*, toff_t) {}

tmsize_t SourceRead(thandle_t handle, void* to, tmsize_t size) {
    File& f = FileOf(handle);
    auto* out = static_cast<unsigned char*>(to);
    size_t done = 0, wanted = size > 0 ? size_t(size) : 0;
    while (done < wanted) {
        if (f.pos >= f.start && f.pos < f.start + f.length) {
            const size_t n = std::min(wanted - done, size_t(f.start + f.length - f.pos));
            memcpy(out + done, f.block.get() + (f.pos - f.start), n);
            done += n, f.pos += n;
            continue;
        }
        // Large reads go straight to the caller's memory.
        const bool direct = wanted - done >= kBlock;
        const ssize_t n = direct ? ReadAt(f.fd, out + done, wanted - done, f.pos)
                                 : ReadAt(f.fd, f.block.get(), kBlock, f.pos);
        if (n < 0)
            return done > 0 ? tmsize_t(done) : -1;
        if (n == 0)
            break; // the end of the file
        if (direct)
            done += size_t(n), f.pos += uint64_t(n);
        else
            f.start = f.pos, f.length = size_t(n);
    }
    return tmsize_t(done);
}

tmsize_t SourceWrite(thandle_t, void*, tmsize_t) {
    errno = EBADF;
    return -1;
}

tmsize_t SinkWrite(thandle_t handle, void* from, tmsize_t size) {
    File& f = FileOf(handle);
    const auto* bytes = static_cast<const unsigned char*>(from);
    const size_t n = size > 0 ? size_t(size) : 0;
    // Bytes that do not follow the held-back ones, or do not fit with them,
    // send those to the disk first; a block's worth goes straight there.
    if (f.length > 0 && (f.pos != f.start + f.length || n > kBlock - f.length) && !Flush(f))
        return -1;
    if (n >= kBlock) {
        if (!WriteAt(f.fd, bytes, n, f.pos))
            return -1;
    } else {
        if (f.length == 0)
            f.start = f.pos;
        memcpy(f.block.get() + f.length, bytes, n);
        f.length += n;
    }
    f.pos += n;
    f.written = std::max(f.written, f.pos);
    return tmsize_t(n);
}

tmsize_t SinkRead(thandle_t handle, void* to, tmsize_t size) {
    File& f = FileOf(handle);
    if (!Flush(f))
        return -1;
    const ssize_t n =
        ReadAt(f.fd, static_cast<unsigned char*>(to), size > 0 ? size_t(size) : 0, f.pos);
    if (n > 0)
        f.pos += uint64_t(n);
    return n;
}

TIFF* Open(int fd, const char* path, const char* mode, TIFFOpenOptions* options,
           TIFFReadWriteProc read, TIFFReadWriteProc write) {
    File* f = nullptr;
    try {
        f = new File;
    } catch (const std::bad_alloc&) {
        close(fd);
        return nullptr;
    }
    f->fd = fd;
    f->sink = write != SourceWrite;
    PrepareForWriting(f->block.get(), kBlock);
    TIFF* tif =
        TIFFClientOpenExt(path, mode, f, read, write, Seek, Close, Size, Map, Unmap, options);
    if (!tif) {
        Close(f); // libtiff leaves the handle to its owner when it fails
        return nullptr;
    }
    TIFFSetFileno(tif, fd);
    return tif;
}

} // namespace

TIFF* OpenBufferedSource(int fd, const char* path, const char* mode, TIFFOpenOptions* options) {
    return Open(fd, path, mode, options, SourceRead, SourceWrite);
}

TIFF* OpenBufferedSink(int fd, const char* path, const char* mode) {
    return Open(fd, path, mode, nullptr, SinkRead, SinkWrite);
}

void ForgetReadAhead(TIFF* tif) {
    if (TIFFGetReadProc(tif) == SourceRead)
        FileOf(TIFFClientdata(tif)).length = 0;
}

bool FlushBufferedSink(TIFF* tif) {
    return TIFFGetWriteProc(tif) != SinkWrite || Flush(FileOf(TIFFClientdata(tif)));
}
