#include "TiffImage.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "ExtraCarrier.h"
#include "FileRead.h"
#include "TiffFileIo.h"
#include "TiffMetadata.h"
#include "TiffRawIfd.h"

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
        tif = OpenBufferedSource(fd, path, "rm", options);
        TIFFOpenOptionsFree(options);
    } else {
        close(fd);
    }
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

// YCbCr compressed as JPEG (its samples interleaved), decoded to RGB by the
// codec, whatever the subsampling; false for any other YCbCr, which stays as
// it is stored.
bool DecodesAsRgb(TIFF* tif) {
    uint16_t photometric = 0, compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    return photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG &&
           planar == PLANARCONFIG_CONTIG &&
           TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) == 1;
}

// How many extra samples the directory's own ExtraSamples tag names: libtiff
// adds extra samples of its own where a photometric interpretation leaves
// samples over, and refuses a count larger than the samples.
uint64_t FileExtraSamples(TIFF* tif) {
    const int fd = TIFFFileno(tif);
    RawTiffLayout layout;
    std::vector<RawTiffEntry> entries;
    if (!ReadRawLayout(fd, layout) ||
        !ReadRawEntries(fd, layout, TIFFCurrentDirOffset(tif), entries))
        return 0;
    for (const RawTiffEntry& e : entries)
        if (e.tag == TIFFTAG_EXTRASAMPLES)
            return e.count;
    return 0;
}

// The colour samples a photometric interpretation names: a separation has
// four inks unless its ink set says how many.
uint16_t NamedColours(TIFF* tif, const TiffPixelTags& tags) {
    switch (tags.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        return 1;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
        return 3;
    case PHOTOMETRIC_SEPARATED:
        break;
    default:
        return 0;
    }
    uint16_t inkSet = INKSET_CMYK, inks = tags.samplesPerPixel;
    TIFFGetField(tif, TIFFTAG_INKSET, &inkSet);
    TIFFGetField(tif, TIFFTAG_NUMBEROFINKS, &inks);
    return inkSet == INKSET_MULTIINK ? inks : 4;
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
    uint32_t tileWidth = 0, tileLength = 0, rowsPerStrip = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    return {width,
            tileWidth,
            tileLength,
            rowsPerStrip,
            height,
            samples,
            bits,
            compression,
            photometric,
            planar,
            uint64_t(TIFFScanlineSize64(tif)),
            uint64_t(TIFFIsTiled(tif))};
}

} // namespace

void SilenceTiffLibraryMessages() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

CTiffImage::~CTiffImage() {
    Close();
}

void CTiffImage::Close() {
    m_nWidth = 0;
    m_nHeight = 0;
    m_tags = TiffPixelTags();
    m_bInvert = false;
    m_pExtras = nullptr;
    m_fileRow.clear();
    m_fileRow.shrink_to_fit();
    m_bands.Clear();
    m_bBands = false;
    m_layoutKey.clear();
    m_bRowsReadable = false;
    m_nPage = 0;
    m_pageTags = TiffPageTags();
    if (m_pTiff) {
        TIFFClose(m_pTiff);
        m_pTiff = nullptr;
    }
}

bool CTiffImage::HasConvertibleSamples() const {
    return IsConvertibleDepth(m_tags.bitsPerSample) && m_tags.sampleFormat == SAMPLEFORMAT_UINT;
}

bool CTiffImage::OpenForRead(const char* path) {
    Close();
    m_bAllocationRefused = false;
    m_pTiff = OpenCapped(OpenRegularFile(path), path, m_nMaxAllocation, &m_bAllocationRefused);
    if (!m_pTiff) {
        TIFFError(path, "Can not open input image");
        return false;
    }
    m_nPage = 0;
    if (!TakeDirectory()) {
        Close();
        return false;
    }
    return true;
}

// The directory just read becomes the image whose rows are handed out.
bool CTiffImage::TakeDirectory() {
    m_bInvert = false;
    m_pExtras = nullptr;
    m_fileRow.clear();
    m_nRow = 0;
    // A tag refused for the cap leaves the file open without it: an image
    // that needs more memory than that is refused as a whole.
    if (m_bAllocationRefused || !ReadLayout()) {
        m_bRowsReadable = false;
        return false;
    }
    ReadPageTags();
    m_layoutKey = LayoutKey(m_pTiff);
    return true;
}

uint32_t CTiffImage::CountPages() {
    return m_pTiff ? uint32_t(TIFFNumberOfDirectories(m_pTiff)) : 0;
}

bool CTiffImage::OpenPage(uint32_t index) {
    if (!m_pTiff)
        return false;
    // The next image is read on from the current one; going back starts from
    // the first, which would make a walk through a long file slow.
    const bool next = index == m_nPage + 1 && TIFFCurrentDirectory(m_pTiff) == m_nPage;
    m_nPage = index;
    if ((next ? TIFFReadDirectory(m_pTiff) : TIFFSetDirectory(m_pTiff, index)) != 1) {
        m_bRowsReadable = false;
        return false;
    }
    return TakeDirectory();
}

void CTiffImage::ReadPageTags() {
    TiffPageTags& p = m_pageTags;
    p = TiffPageTags();
    p.hasNewSubfileType = TIFFGetField(m_pTiff, TIFFTAG_SUBFILETYPE, &p.newSubfileType) == 1;
    p.hasSubfileType = TIFFGetField(m_pTiff, TIFFTAG_OSUBFILETYPE, &p.subfileType) == 1;
    p.hasPageNumber = TIFFGetField(m_pTiff, TIFFTAG_PAGENUMBER, &p.pageNumber, &p.pageCount) == 1;
    const char* name = nullptr;
    p.hasPageName = TIFFGetField(m_pTiff, TIFFTAG_PAGENAME, &name) == 1 && name;
    if (p.hasPageName)
        p.pageName = name;
}

void CTiffImage::ReadPixelTags() {
    // Tags the file does not carry, as TIFF defines them: one sample,
    // unsigned; and nothing left over from an earlier file.
    m_tags = TiffPixelTags();
    m_tags.photometric = PHOTOMETRIC_MINISWHITE;
    m_tags.samplesPerPixel = 1;
    m_tags.sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetField(m_pTiff, TIFFTAG_PHOTOMETRIC, &m_tags.photometric);
    TIFFGetField(m_pTiff, TIFFTAG_SAMPLESPERPIXEL, &m_tags.samplesPerPixel);
    TIFFGetField(m_pTiff, TIFFTAG_BITSPERSAMPLE, &m_tags.bitsPerSample);
    TIFFGetField(m_pTiff, TIFFTAG_SAMPLEFORMAT, &m_tags.sampleFormat);
    if (m_tags.photometric == PHOTOMETRIC_YCBCR && DecodesAsRgb(m_pTiff))
        m_tags.photometric = PHOTOMETRIC_RGB;
    uint16_t count = 0, *kinds = nullptr;
    if (TIFFGetField(m_pTiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) == 1 && kinds)
        m_tags.extraKinds.assign(kinds, kinds + count);
    m_nFileExtraSamples = m_tags.samplesPerPixel > 1 ? FileExtraSamples(m_pTiff) : 0;
    m_tags.namedColours = NamedColours(m_pTiff, m_tags);
}

bool CTiffImage::ReadLayout() {
    uint16_t planar = PLANARCONFIG_CONTIG;
    // No resolution or unit where the file has none.
    m_fXResolution = 0;
    m_fYResolution = 0;
    m_nResolutionUnit = 0;
    m_nOrientation = ORIENTATION_TOPLEFT;
    ReadPixelTags();
    TIFFGetField(m_pTiff, TIFFTAG_IMAGEWIDTH, &m_nWidth);
    TIFFGetField(m_pTiff, TIFFTAG_IMAGELENGTH, &m_nHeight);
    TIFFGetField(m_pTiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(m_pTiff, TIFFTAG_ORIENTATION, &m_nOrientation);
    TIFFGetField(m_pTiff, TIFFTAG_XRESOLUTION, &m_fXResolution);
    TIFFGetField(m_pTiff, TIFFTAG_YRESOLUTION, &m_fYResolution);
    TIFFGetField(m_pTiff, TIFFTAG_RESOLUTIONUNIT, &m_nResolutionUnit);

    const uint16_t samples = m_tags.samplesPerPixel, bits = m_tags.bitsPerSample;
    // An ExtraSamples tag that names more samples than a pixel has.
    if (m_nWidth == 0 || m_nHeight == 0 || samples == 0 || bits == 0 ||
        m_nFileExtraSamples > samples)
        return false;
    // 64-bit arithmetic throughout: the size of a row is what the file's
    // numbers say, however large; whoever converts decides what is too large.
    m_nRowBytes = (uint64_t(samples) * bits * m_nWidth + 7) / 8;
    if (m_nRowBytes > uint64_t(std::numeric_limits<tmsize_t>::max()))
        return false;
    // Tiles and separate planes are put together a band of rows at a time;
    // one that needs more memory than the cap makes the file invalid, like a
    // tag that does.
    m_bBands = TIFFIsTiled(m_pTiff) || (planar == PLANARCONFIG_SEPARATE && samples > 1);
    if (m_bBands) {
        m_bRowsReadable = m_bands.Reset(m_pTiff, m_nRowBytes, m_nMaxAllocation);
        return m_bRowsReadable || !IsConvertibleDepth(bits);
    }
    // The library's row is another size for layouts never converted (colour
    // subsampling); such rows are not read at all, rather than overrun.
    m_bRowsReadable = m_nRowBytes == static_cast<uint64_t>(TIFFScanlineSize64(m_pTiff));
    return true;
}

bool CTiffImage::GetIccProfile(std::vector<unsigned char>& bytes) const {
    uint32_t size = 0;
    void* data = nullptr;
    bytes.clear();
    if (!m_pTiff || TIFFGetField(m_pTiff, TIFFTAG_ICCPROFILE, &size, &data) != 1 || !data ||
        size == 0)
        return false;
    const auto* begin = static_cast<const unsigned char*>(data);
    bytes.assign(begin, begin + size);
    return true;
}

bool CTiffImage::ReadMetadata(CTiffMetadata& metadata) {
    if (!m_pTiff || m_nRow != 0)
        return false;
    // The EXIF directory is read through a handle of its own, so this one
    // keeps the directory checked. That handle parses the image's directory
    // afresh: if it no longer says what was checked, the file was
    // rewritten under the program, and none of its rows are trusted.
    // Without /proc there is no second handle, and no EXIF directory is read;
    // a file that opened before and no longer opens has changed.
    bool refused = false;
    const int fd = ReopenDescriptor(TIFFFileno(m_pTiff));
    TIFF* second = OpenCapped(fd, TIFFFileName(m_pTiff), m_nMaxAllocation, &refused);
    if (second && m_nPage > 0 && TIFFSetDirectory(second, m_nPage) != 1) {
        TIFFClose(second);
        second = nullptr;
    }
    if (second)
        DecodesAsRgb(second);
    if (fd >= 0 && (!second || LayoutKey(second) != m_layoutKey))
        m_bRowsReadable = false;
    const bool read = m_bRowsReadable && metadata.Read(m_pTiff, second) && !refused;
    if (second)
        TIFFClose(second);
    return read;
}

void CTiffImage::HandOut(const PixelFormat& format, CExtraCarrier* extras) {
    if (!m_pTiff)
        return;
    m_bInvert = format.minIsWhite;
    if (!format.HasExtras() || !extras || format.StoredSamples() != m_tags.samplesPerPixel ||
        format.bitsPerSample != m_tags.bitsPerSample)
        return;
    m_pExtras = extras;
    m_fileRow.resize(m_nRowBytes);
    m_nRowBytes = uint64_t(m_nWidth) * uint64_t(format.PixelBytes());
}

bool CTiffImage::ReadRow(unsigned char* row) {
    if (!m_pTiff || !m_bRowsReadable || m_nRow >= m_nHeight)
        return false;
    // Rows come from the file as it is once checked, not as it was when
    // its directory was read ahead.
    if (m_nRow == 0)
        ForgetReadAhead(m_pTiff);
    // The library decodes one row at a time, even from a strip holding the
    // whole image, so memory stays a row and the codec's state.
    unsigned char* target = m_pExtras ? m_fileRow.data() : row;
    const bool read = m_bBands ? m_bands.ReadRow(m_pTiff, m_nRow, target)
                               : TIFFReadScanline(m_pTiff, target, m_nRow, 0) == 1;
    if (!read)
        return false;
    if (m_pExtras)
        m_pExtras->Split(target, m_nWidth, row);
    // Complementing every bit is 255 - v for a byte and 65535 - v for a
    // 16-bit sample.
    if (m_bInvert)
        for (uint64_t i = 0; i < m_nRowBytes; ++i)
            row[i] = static_cast<unsigned char>(~row[i]);
    ++m_nRow;
    return true;
}
