#include "FuzzSupport.h"

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "TiffImage.h"

namespace fuzz {
namespace {

std::string ScratchFolder() {
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    const char* env = std::getenv("TMPDIR");
    return env && *env ? env : "/tmp";
}

} // namespace

void InitOnce() {
    static const bool done = [] {
        SilenceTiffLibraryMessages();
        return true;
    }();
    (void)done;
}

ScratchFile::ScratchFile(const char* suffix) {
    std::string pattern = ScratchFolder() + "/chromaport-fuzz-XXXXXX" + suffix;
    m_fd = mkstemps(pattern.data(), static_cast<int>(std::char_traits<char>::length(suffix)));
    if (m_fd < 0) {
        perror("chromaport fuzz: cannot create a scratch file");
        std::abort();
    }
    m_path = pattern;
}

ScratchFile::~ScratchFile() {
    close(m_fd);
    unlink(m_path.c_str());
}

bool ScratchFile::Write(const uint8_t* data, size_t size) {
    if (ftruncate(m_fd, 0) != 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

TiffShape ProbeTiff(const std::string& path) {
    TiffShape shape;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return shape;
    shape.opened = true;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &shape.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &shape.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &shape.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &shape.bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &shape.photometric);
    // Samples x bits x width stays below 2^64; the rows are counted in a
    // long double so that no product can wrap around.
    const uint64_t rowBytes = (uint64_t(shape.samples) * shape.bits * shape.width + 7) / 8;
    const long double image = static_cast<long double>(rowBytes) * shape.height;
    shape.imageBytes = image > 1e18L ? UINT64_MAX : static_cast<uint64_t>(image);
    const int64_t strip = TIFFIsTiled(tif) ? TIFFTileSize64(tif) : TIFFStripSize64(tif);
    shape.stripBytes = strip > 0 ? static_cast<uint64_t>(strip) : 0;
    TIFFClose(tif);
    return shape;
}

bool WithinBudget(const TiffShape& shape, uint64_t maxBytes, uint64_t maxPixels) {
    if (!shape.opened)
        return true;
    const uint64_t pixels = uint64_t(shape.width) * shape.height;
    return shape.imageBytes <= maxBytes && shape.stripBytes <= maxBytes && pixels <= maxPixels;
}

void Fail(const char* what) {
    fprintf(stderr, "chromaport fuzz: %s\n", what);
    std::abort();
}

} // namespace fuzz
