// What the fuzz targets share: the input as a file, a look at the size it claims, and the way
// a target reports a promise the program broke.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Support.h"
#include "TiffImage.h"

namespace fuzz {

// The input as a file of this process, under $TMPDIR (scripts/fuzz.sh makes it /dev/shm).
inline std::string AsFile(const uint8_t* data, size_t size, const std::string& name) {
    [[maybe_unused]] static const bool quiet = (SilenceTiffLibraryMessages(), true);
    static const ts::Scratch dir;
    ts::WriteBytes(dir.file(name), ts::Bytes(data, data + size));
    return dir.file(name);
}

// True unless the file opens and claims more rows in bytes, or more pixels, than this, its pages
// together: a 100-byte file may claim a 4 GB image, which the engine would rightly try to read.
inline bool Within(const std::string& path, uint64_t bytes, uint64_t pixels) {
    CTiffImage image;
    if (!image.OpenForRead(path.c_str()))
        return true;
    const uint32_t pages = image.CountPages();
    for (uint32_t p = 0; p < pages && image.OpenPage(p); ++p) {
        const uint64_t h = image.GetHeight(), rowBytes = image.GetRowBytes(), w = image.GetWidth();
        if (rowBytes > bytes / h || w > pixels / h)
            return false;
        bytes -= rowBytes * h, pixels -= w * h;
    }
    return true;
}

// Printed, then the process aborts so that the fuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
    fprintf(stderr, "chromaport fuzz: %s\n", what);
    abort();
}

} // namespace fuzz
