#include "TiffImage.h"

#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "FileRead.h"

namespace {
constexpr uint32_t kNoStrip = 0xFFFFFFFFu;

// Regular files only: a named pipe would keep the run waiting for a writer
// that may never come, and folders and devices hold no image. "m": read
// through the file, not a memory map, so a source that shrinks while it is
// read gives a read error instead of a crash, and the image does not count
// towards the process's memory.
TIFF* OpenSourceFile(const char* path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return nullptr;
    TIFF* tif = TIFFFdOpen(fd, path, "rm");
    if (!tif)
        close(fd);
    return tif;
}
} // namespace

void SilenceTiffLibraryMessages() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

CTiffImage::CTiffImage()
    : m_pTiff(nullptr), m_nWidth(0), m_nHeight(0), m_nBitsPerSample(0), m_nSamplesPerPixel(0),
      m_pStripBuffer(nullptr) {}

CTiffImage::~CTiffImage() {
    Close();
}

void CTiffImage::Close() {
    m_nWidth = 0;
    m_nHeight = 0;
    m_nBitsPerSample = 0;
    m_nSamplesPerPixel = 0;
    if (m_pTiff) {
        TIFFClose(m_pTiff);
        m_pTiff = nullptr;
    }
    if (m_pStripBuffer) {
        free(m_pStripBuffer);
        m_pStripBuffer = nullptr;
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
        return samplesPerPixel == 4 ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_MINISWHITE;
    case TCM_LAB:
        return PHOTOMETRIC_CIELAB;
    }
    return PHOTOMETRIC_MINISWHITE;
}

TiffColorModel CTiffImage::GetColorModel() const {
    return ColorModelOf(m_nPhotometric);
}

bool CTiffImage::OpenForRead(const char* path) {
    Close();
    m_bRead = true;
    m_pTiff = OpenSourceFile(path);
    if (!m_pTiff) {
        TIFFError(path, "Can not open input image");
        return false;
    }

    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    // Tags the file does not carry: no resolution, one strip for the image,
    // and no photometric value left over from an earlier file.
    m_nPhotometric = PHOTOMETRIC_MINISWHITE;
    m_fXResolution = 0;
    m_fYResolution = 0;
    m_nRowsPerStrip = 0;
    TIFFGetField(m_pTiff, TIFFTAG_IMAGEWIDTH, &m_nWidth);
    TIFFGetField(m_pTiff, TIFFTAG_IMAGELENGTH, &m_nHeight);
    TIFFGetField(m_pTiff, TIFFTAG_PHOTOMETRIC, &m_nPhotometric);
    TIFFGetField(m_pTiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(m_pTiff, TIFFTAG_SAMPLESPERPIXEL, &m_nSamplesPerPixel);
    TIFFGetField(m_pTiff, TIFFTAG_BITSPERSAMPLE, &m_nBitsPerSample);
    TIFFGetField(m_pTiff, TIFFTAG_ROWSPERSTRIP, &m_nRowsPerStrip);
    TIFFGetField(m_pTiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(m_pTiff, TIFFTAG_XRESOLUTION, &m_fXResolution);
    TIFFGetField(m_pTiff, TIFFTAG_YRESOLUTION, &m_fYResolution);

    const bool layoutOk = (m_nSamplesPerPixel <= 1 || planar == PLANARCONFIG_CONTIG) &&
                          orientation == ORIENTATION_TOPLEFT;
    // Tiled images cannot be read by strips; refusing them here keeps the
    // conversion from creating a destination it could never fill.
    if (!layoutOk || TIFFIsTiled(m_pTiff) || !PrepareRowReading()) {
        Close();
        return false;
    }
    return true;
}

bool CTiffImage::PrepareRowReading() {
    if (m_nWidth == 0 || m_nHeight == 0 || m_nSamplesPerPixel == 0 || m_nBitsPerSample == 0)
        return false;
    if (m_nRowsPerStrip == 0 || m_nRowsPerStrip > m_nHeight)
        m_nRowsPerStrip = m_nHeight;

    // 64-bit arithmetic: a row or strip that does not fit our 32-bit sizes
    // is refused rather than wrapped around.
    const uint64_t rowBytes = (uint64_t(m_nSamplesPerPixel) * m_nBitsPerSample * m_nWidth + 7) / 8;
    const uint64_t stripSize = static_cast<uint64_t>(TIFFStripSize64(m_pTiff));
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    if (rowBytes == 0 || rowBytes > kMax || stripSize == 0 || stripSize > kMax ||
        stripSize > std::numeric_limits<tmsize_t>::max())
        return false;

    m_nStrip = kNoStrip;
    m_nRow = 0;
    m_nStripBytes = 0;
    m_nStripSize = static_cast<uint32_t>(stripSize);
    m_nRowBytes = static_cast<uint32_t>(rowBytes);
    m_pStripBuffer = static_cast<unsigned char*>(malloc(m_nStripSize));
    return m_pStripBuffer != nullptr;
}

bool CTiffImage::ReadRow(unsigned char* row) {
    if (!m_bRead || !m_pTiff || m_nRow >= m_nHeight)
        return false;
    const uint32_t strip = m_nRow / m_nRowsPerStrip;
    const uint32_t rowInStrip = m_nRow % m_nRowsPerStrip;
    if (strip != m_nStrip) {
        m_nStrip = strip;
        m_nStripBytes = 0;
        const tmsize_t got = TIFFReadEncodedStrip(m_pTiff, strip, m_pStripBuffer, m_nStripSize);
        if (got < 0)
            return false;
        m_nStripBytes = static_cast<uint32_t>(got);
    }
    const uint64_t offset = uint64_t(rowInStrip) * m_nRowBytes;
    if (offset + m_nRowBytes > m_nStripBytes)
        return false;
    memcpy(row, m_pStripBuffer + offset, m_nRowBytes);
    ++m_nRow;
    return true;
}

bool CTiffImage::WriteRow(const unsigned char* row) {
    if (m_bRead || !m_pTiff)
        return false;
    if (m_nStrip >= m_nHeight)
        return true;
    if (TIFFWriteEncodedStrip(m_pTiff, m_nStrip, const_cast<unsigned char*>(row), m_nRowBytes) < 0)
        return false;
    ++m_nStrip;
    return true;
}

bool CTiffImage::Flush() {
    if (m_bRead || !m_pTiff)
        return false;
    return TIFFFlush(m_pTiff) == 1;
}

bool CTiffImage::CreateForWrite(const char* path, uint32_t width, uint32_t height,
                                uint16_t bitsPerSample, TiffColorModel model,
                                uint16_t samplesPerPixel, float xResolution, float yResolution,
                                const void* iccData, uint32_t iccSize) {
    Close();
    m_nWidth = width;
    m_nHeight = height;
    m_bRead = false;
    m_nBitsPerSample = bitsPerSample;
    m_nSamplesPerPixel = samplesPerPixel;
    m_nPhotometric = PhotometricFor(model, samplesPerPixel);

    m_pTiff = TIFFOpen(path, "w");
    if (!m_pTiff) {
        TIFFError(path, "Can not open output image");
        return false;
    }
    TIFFSetField(m_pTiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(m_pTiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(m_pTiff, TIFFTAG_PHOTOMETRIC, m_nPhotometric);
    TIFFSetField(m_pTiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(m_pTiff, TIFFTAG_SAMPLESPERPIXEL, samplesPerPixel);
    TIFFSetField(m_pTiff, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(m_pTiff, TIFFTAG_ROWSPERSTRIP, 1u);
    TIFFSetField(m_pTiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(m_pTiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    // A source without resolution gives a destination without it, rather
    // than numbers the file never held.
    if (std::isfinite(xResolution) && xResolution > 0)
        TIFFSetField(m_pTiff, TIFFTAG_XRESOLUTION, double(xResolution));
    if (std::isfinite(yResolution) && yResolution > 0)
        TIFFSetField(m_pTiff, TIFFTAG_YRESOLUTION, double(yResolution));
    if (iccData)
        TIFFSetField(m_pTiff, TIFFTAG_ICCPROFILE, iccSize, iccData);

    m_fXResolution = xResolution;
    m_fYResolution = yResolution;
    m_nRow = 0;
    m_nStrip = 0;
    m_nRowBytes = static_cast<uint32_t>(TIFFStripSize64(m_pTiff));
    return true;
}
