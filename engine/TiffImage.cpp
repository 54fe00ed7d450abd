#include "TiffImage.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "AlphaCarrier.h"
#include "FileRead.h"
#include "PendingFile.h"
#include "TiffMetadata.h"

namespace {

// The error handler of every file opened for reading: notes an allocation
// refused for the cap, which libtiff otherwise reports as a tag it skips.
int NoteRefusedAllocation(TIFF*, void* refused, const char*, const char* fmt, va_list) {
    if (fmt && std::strstr(fmt, "limit defined in open options"))
        *static_cast<bool*>(refused) = true;
    return 0; // the process-wide handler, if any, still hears of it
}

// Opens an image on fd (taken over, closed on failure) with libtiff's
// allocations capped. "m": read through the file, not a memory map, so a
// source that shrinks while it is read gives a read error instead of a crash,
// and the image does not count towards the process's memory.
TIFF* OpenCapped(int fd, const char* path, uint64_t maxAllocation, bool* refused) {
    if (fd < 0)
        return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFF* tif = nullptr;
    if (options) {
        TIFFOpenOptionsSetMaxSingleMemAlloc(
            options, tmsize_t(std::min<uint64_t>(std::max<uint64_t>(maxAllocation, 1),
                                                 uint64_t(std::numeric_limits<tmsize_t>::max()))));
        TIFFOpenOptionsSetErrorHandlerExtR(options, NoteRefusedAllocation, refused);
        tif = TIFFFdOpenExt(fd, path, "rm", options);
        TIFFOpenOptionsFree(options);
    }
    if (!tif)
        close(fd);
    return tif;
}

// A second, independent way into the file open on fd: its own file offset,
// so that neither handle moves the other's reads.
int ReopenDescriptor(int fd) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const int again = open(link, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return again >= 0 ? again : -1;
}

// What the rows' decoding depends on, as one directory of a file says it.
std::vector<uint64_t> LayoutKey(TIFF* tif) {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, compression = 1, photometric = 0, planar = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    return {width,
            height,
            samples,
            bits,
            compression,
            photometric,
            planar,
            uint64_t(TIFFScanlineSize64(tif)),
            uint64_t(TIFFIsTiled(tif))};
}

// What a destination will take on disk, at most: pixels (a codec may
// expand data it cannot compress by up to a half), the offset and count of
// every strip, the profile and room for the directory.
uint64_t WrittenSizeBound(uint64_t rowBytes, uint32_t height, uint64_t tagBytes, bool compressed) {
    const uint64_t pixels = rowBytes * height;
    return (compressed ? pixels + pixels / 2 : pixels) + uint64_t(height) * 16 + tagBytes +
           (uint64_t(64) << 10);
}

// Compressed strips of one row compress badly; strips of about this many
// bytes compress well and keep what the library buffers small.
constexpr uint64_t kCompressedStripBytes = uint64_t(256) << 10;

} // namespace

void SilenceTiffLibraryMessages() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

CTiffImage::CTiffImage()
    : m_pTiff(nullptr), m_nWidth(0), m_nHeight(0), m_nBitsPerSample(0), m_nSamplesPerPixel(0) {}

CTiffImage::~CTiffImage() {
    Close();
}

void CTiffImage::Close() {
    m_nWidth = 0;
    m_nHeight = 0;
    m_nBitsPerSample = 0;
    m_nSamplesPerPixel = 0;
    m_nExtraSamples = 0;
    m_bUnassociatedAlpha = false;
    m_bInvert = false;
    m_bScanlines = false;
    m_pAlpha = nullptr;
    m_pMetadata = nullptr;
    m_fileRow.clear();
    m_fileRow.shrink_to_fit();
    m_layoutKey.clear();
    m_bRowsReadable = false;
    if (!m_strTempPath.empty()) {
        // Removed before the library closes it: nothing unfinished is ever
        // seen under any name once this returns.
        DiscardPendingFile(m_strTempPath);
        m_strTempPath.clear();
    }
    if (m_pTiff) {
        TIFFClose(m_pTiff);
        m_pTiff = nullptr;
    }
}

TiffColorModel CTiffImage::ColorModelOf(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
        return TCM_ADDITIVE;
    case PHOTOMETRIC_CIELAB:
        return TCM_LAB;
    default:
        return TCM_SUBTRACTIVE;
    }
}

uint16_t CTiffImage::PhotometricFor(TiffColorModel model, uint16_t samplesPerPixel) {
    switch (model) {
    case TCM_ADDITIVE:
        return samplesPerPixel == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    case TCM_SUBTRACTIVE:
        return PHOTOMETRIC_SEPARATED;
    case TCM_LAB:
        return PHOTOMETRIC_CIELAB;
    }
    return PHOTOMETRIC_SEPARATED;
}

bool CTiffImage::IsReadPhotometric(uint16_t photometric) {
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_SEPARATED:
    case PHOTOMETRIC_CIELAB:
        return true;
    default:
        return false;
    }
}

TiffColorModel CTiffImage::GetColorModel() const {
    return ColorModelOf(m_nPhotometric);
}

bool CTiffImage::HasEightBitUnsignedSamples() const {
    return m_nBitsPerSample == 8 && m_nSampleFormat == SAMPLEFORMAT_UINT;
}

bool CTiffImage::OpenForRead(const char* path) {
    Close();
    m_bRead = true;
    m_bAllocationRefused = false;
    m_pTiff = OpenCapped(OpenRegularFile(path), path, m_nMaxAllocation, &m_bAllocationRefused);
    if (!m_pTiff) {
        TIFFError(path, "Can not open input image");
        return false;
    }
    // A tag refused for the cap leaves the file open without it: an image
    // that needs more memory than that is refused as a whole.
    if (m_bAllocationRefused || !ReadLayout()) {
        Close();
        return false;
    }
    m_layoutKey = LayoutKey(m_pTiff);
    m_nRow = 0;
    return true;
}

bool CTiffImage::ReadLayout() {
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    // Tags the file does not carry: no resolution or unit, unsigned samples,
    // and no photometric value left over from an earlier file.
    m_nPhotometric = PHOTOMETRIC_MINISWHITE;
    m_fXResolution = 0;
    m_fYResolution = 0;
    m_nResolutionUnit = 0;
    m_nSampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetField(m_pTiff, TIFFTAG_IMAGEWIDTH, &m_nWidth);
    TIFFGetField(m_pTiff, TIFFTAG_IMAGELENGTH, &m_nHeight);
    TIFFGetField(m_pTiff, TIFFTAG_PHOTOMETRIC, &m_nPhotometric);
    TIFFGetField(m_pTiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(m_pTiff, TIFFTAG_SAMPLESPERPIXEL, &m_nSamplesPerPixel);
    TIFFGetField(m_pTiff, TIFFTAG_BITSPERSAMPLE, &m_nBitsPerSample);
    TIFFGetField(m_pTiff, TIFFTAG_SAMPLEFORMAT, &m_nSampleFormat);
    TIFFGetField(m_pTiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(m_pTiff, TIFFTAG_XRESOLUTION, &m_fXResolution);
    TIFFGetField(m_pTiff, TIFFTAG_YRESOLUTION, &m_fYResolution);
    TIFFGetField(m_pTiff, TIFFTAG_RESOLUTIONUNIT, &m_nResolutionUnit);
    uint16_t* extraKinds = nullptr;
    if (TIFFGetField(m_pTiff, TIFFTAG_EXTRASAMPLES, &m_nExtraSamples, &extraKinds) != 1)
        m_nExtraSamples = 0;
    m_bUnassociatedAlpha = m_nExtraSamples == 1 && extraKinds[0] == EXTRASAMPLE_UNASSALPHA;

    const bool layoutOk = (m_nSamplesPerPixel <= 1 || planar == PLANARCONFIG_CONTIG) &&
                          orientation == ORIENTATION_TOPLEFT;
    // Tiled images cannot be read by rows; refusing them here keeps the
    // conversion from creating a destination it could never fill.
    if (!layoutOk || TIFFIsTiled(m_pTiff))
        return false;
    if (m_nWidth == 0 || m_nHeight == 0 || m_nSamplesPerPixel == 0 || m_nBitsPerSample == 0)
        return false;
    // 64-bit arithmetic throughout: the size of a row is what the file's
    // numbers say, however large; whoever converts decides what is too large.
    m_nRowBytes = (uint64_t(m_nSamplesPerPixel) * m_nBitsPerSample * m_nWidth + 7) / 8;
    // The library's row is another size for layouts never converted (colour
    // subsampling); such rows are not read at all, rather than overrun.
    m_bRowsReadable = m_nRowBytes == static_cast<uint64_t>(TIFFScanlineSize64(m_pTiff));
    return m_nRowBytes <= uint64_t(std::numeric_limits<tmsize_t>::max());
}

bool CTiffImage::GetIccProfile(std::vector<unsigned char>& bytes) const {
    uint32_t size = 0;
    void* data = nullptr;
    bytes.clear();
    if (!m_bRead || !m_pTiff || TIFFGetField(m_pTiff, TIFFTAG_ICCPROFILE, &size, &data) != 1 ||
        !data || size == 0)
        return false;
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes.assign(begin, begin + size);
    return true;
}

bool CTiffImage::ReadMetadata(CTiffMetadata& metadata) {
    if (!m_bRead || !m_pTiff || m_nRow != 0)
        return false;
    // The EXIF directory is read through a handle of its own, so this one
    // keeps the directory checked. That handle parses the file's first
    // directory afresh: if it no longer says what was checked, the file was
    // rewritten under the program, and none of its rows are trusted.
    // Without /proc there is no second handle, and no EXIF directory is read;
    // a file that opened before and no longer opens has changed.
    bool refused = false;
    const int fd = ReopenDescriptor(TIFFFileno(m_pTiff));
    TIFF* second = OpenCapped(fd, TIFFFileName(m_pTiff), m_nMaxAllocation, &refused);
    if (fd >= 0 && (!second || LayoutKey(second) != m_layoutKey))
        m_bRowsReadable = false;
    const bool read = m_bRowsReadable && metadata.Read(m_pTiff, second) && !refused;
    if (second)
        TIFFClose(second);
    return read;
}

void CTiffImage::CarryAlpha(CAlphaCarrier* carrier) {
    if (!m_bRead || m_nSamplesPerPixel < 2 || m_nBitsPerSample != 8)
        return;
    m_pAlpha = carrier;
    m_fileRow.resize(m_nRowBytes);
    m_nRowBytes = uint64_t(m_nWidth) * (m_nSamplesPerPixel - 1u);
}

bool CTiffImage::ReadRow(unsigned char* row) {
    if (!m_bRead || !m_pTiff || !m_bRowsReadable || m_nRow >= m_nHeight)
        return false;
    // The library decodes one row at a time, even from a strip holding the
    // whole image, so memory stays a row and the codec's state.
    unsigned char* target = m_pAlpha ? m_fileRow.data() : row;
    if (TIFFReadScanline(m_pTiff, target, m_nRow, 0) != 1)
        return false;
    if (m_pAlpha)
        m_pAlpha->Split(target, m_nWidth, m_nSamplesPerPixel - 1, row);
    if (m_bInvert)
        for (uint64_t i = 0; i < m_nRowBytes; ++i)
            row[i] = static_cast<unsigned char>(255 - row[i]);
    ++m_nRow;
    return true;
}

bool CTiffImage::WriteRow(const unsigned char* row) {
    if (m_bRead || !m_pTiff)
        return false;
    if (m_nStrip >= m_nHeight)
        return true;
    // The library's predictor changes the row it is handed, so compressed
    // rows, like rows joined with their alpha, are written from a copy.
    unsigned char* out = const_cast<unsigned char*>(row);
    if (m_pAlpha) {
        if (!m_pAlpha->Join(row, m_nWidth, m_nSamplesPerPixel, m_fileRow.data()))
            return false;
        out = m_fileRow.data();
    } else if (m_bScanlines) {
        memcpy(m_fileRow.data(), row, m_nRowBytes);
        out = m_fileRow.data();
    }
    if (!WriteFileRow(out))
        return false;
    ++m_nStrip;
    return true;
}

bool CTiffImage::WriteFileRow(unsigned char* row) {
    if (m_bScanlines)
        return TIFFWriteScanline(m_pTiff, row, m_nStrip, 0) == 1;
    const uint64_t bytes = m_fileRow.empty() ? m_nRowBytes : m_fileRow.size();
    return TIFFWriteEncodedStrip(m_pTiff, m_nStrip, row, static_cast<tmsize_t>(bytes)) >= 0;
}

bool CTiffImage::CompressionAvailable(TiffCompression compression) {
    return TIFFIsCODECConfigured(compression) == 1;
}

bool CTiffImage::Commit() {
    if (m_bRead || !m_pTiff)
        return false;
    // The kept EXIF tags go after the rows, in a directory of their own.
    bool written = m_pMetadata ? m_pMetadata->Finish(m_pTiff) : TIFFFlush(m_pTiff) == 1;
    // On disk before it takes the final name: renamed first, a power cut
    // could leave an empty or short file under that name.
    written = written && fsync(TIFFFileno(m_pTiff)) == 0;
    TIFFClose(m_pTiff);
    m_pTiff = nullptr;
    const std::string temp = m_strTempPath;
    m_strTempPath.clear();
    if (!written) {
        DiscardPendingFile(temp);
        return false;
    }
    return CommitPendingFile(temp, m_strFinalPath);
}

bool CTiffImage::CreateForWrite(const char* path, uint32_t width, uint32_t height,
                                uint16_t bitsPerSample, TiffColorModel model,
                                uint16_t samplesPerPixel, float xResolution, float yResolution,
                                const void* iccData, uint32_t iccSize,
                                const TiffWriteOptions& options) {
    Close();
    m_nWidth = width;
    m_nHeight = height;
    m_bRead = false;
    m_nBitsPerSample = bitsPerSample;
    m_nSamplesPerPixel = samplesPerPixel;
    m_nPhotometric = PhotometricFor(model, samplesPerPixel);
    m_nRowBytes = (uint64_t(samplesPerPixel) * bitsPerSample * width + 7) / 8;
    m_pAlpha = options.alpha;
    const uint16_t fileSamples = samplesPerPixel + (m_pAlpha ? 1 : 0);
    const uint64_t fileRowBytes = (uint64_t(fileSamples) * bitsPerSample * width + 7) / 8;
    const bool compressed = options.compression != kCompressNone;

    const uint64_t tags =
        (iccData ? iccSize : 0) + (options.metadata ? options.metadata->Bytes() : 0);
    const bool big =
        WrittenSizeBound(fileRowBytes, height, tags, compressed) > options.bigTiffThreshold;
    std::string temp;
    const int fd = CreatePendingFile(path, temp);
    m_pTiff = fd < 0 ? nullptr : TIFFFdOpen(fd, temp.c_str(), big ? "w8" : "w");
    if (!m_pTiff) {
        if (fd >= 0) {
            close(fd);
            DiscardPendingFile(temp);
        }
        TIFFError(path, "Can not open output image");
        return false;
    }
    m_strTempPath = temp;
    m_strFinalPath = path;
    if (m_pAlpha || compressed)
        m_fileRow.resize(fileRowBytes);
    SetImageTags(options);
    TIFFSetField(m_pTiff, TIFFTAG_SAMPLESPERPIXEL, fileSamples);
    if (m_pAlpha) {
        const uint16_t kinds[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(m_pTiff, TIFFTAG_EXTRASAMPLES, 1, kinds);
    }
    if (compressed) {
        m_bScanlines = true;
        const uint64_t rows = std::max<uint64_t>(1, kCompressedStripBytes / fileRowBytes);
        TIFFSetField(m_pTiff, TIFFTAG_ROWSPERSTRIP, uint32_t(std::min<uint64_t>(rows, height)));
    }
    // A source without resolution gives a destination without it, rather
    // than numbers the file never held.
    if (std::isfinite(xResolution) && xResolution > 0)
        TIFFSetField(m_pTiff, TIFFTAG_XRESOLUTION, double(xResolution));
    if (std::isfinite(yResolution) && yResolution > 0)
        TIFFSetField(m_pTiff, TIFFTAG_YRESOLUTION, double(yResolution));
    if (options.resolutionUnit != 0)
        TIFFSetField(m_pTiff, TIFFTAG_RESOLUTIONUNIT, options.resolutionUnit);
    if (iccData)
        TIFFSetField(m_pTiff, TIFFTAG_ICCPROFILE, iccSize, iccData);
    if (m_nPhotometric == PHOTOMETRIC_SEPARATED && samplesPerPixel != 4)
        SetInkTags(options.inkNames);
    m_pMetadata = options.metadata;
    if (m_pMetadata)
        m_pMetadata->ApplyTo(m_pTiff);

    m_fXResolution = xResolution;
    m_fYResolution = yResolution;
    m_nResolutionUnit = options.resolutionUnit;
    m_nRow = 0;
    m_nStrip = 0;
    return true;
}

void CTiffImage::SetImageTags(const TiffWriteOptions& options) {
    TIFFSetField(m_pTiff, TIFFTAG_IMAGEWIDTH, m_nWidth);
    TIFFSetField(m_pTiff, TIFFTAG_IMAGELENGTH, m_nHeight);
    TIFFSetField(m_pTiff, TIFFTAG_PHOTOMETRIC, m_nPhotometric);
    TIFFSetField(m_pTiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(m_pTiff, TIFFTAG_BITSPERSAMPLE, m_nBitsPerSample);
    TIFFSetField(m_pTiff, TIFFTAG_ROWSPERSTRIP, 1u);
    TIFFSetField(m_pTiff, TIFFTAG_COMPRESSION, options.compression);
    // Differences of neighbouring samples compress far better than the
    // samples themselves.
    if (options.compression != kCompressNone)
        TIFFSetField(m_pTiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(m_pTiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
}

// Inks other than CMYK: "multi-ink" with their count, and their names when
// known, so that other programs read the channels as inks.
void CTiffImage::SetInkTags(const std::vector<std::string>* names) {
    TIFFSetField(m_pTiff, TIFFTAG_INKSET, INKSET_MULTIINK);
    TIFFSetField(m_pTiff, TIFFTAG_NUMBEROFINKS, m_nSamplesPerPixel);
    if (!names || names->size() != m_nSamplesPerPixel)
        return;
    std::string joined;
    for (const std::string& name : *names)
        joined.append(name.c_str(), std::strlen(name.c_str()) + 1);
    if (joined.size() <= 0xFFFF)
        TIFFSetField(m_pTiff, TIFFTAG_INKNAMES, int(joined.size()), joined.c_str());
}
