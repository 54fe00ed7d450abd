#include "TiffWriter.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "ExtraCarrier.h"
#include "PendingFile.h"
#include "TiffFileIo.h"
#include "TiffMetadata.h"

namespace {

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

// The disk starts on what was written once this much has gathered, so that
// the wait for it before the file takes its name is for the last part only.
constexpr uint64_t kWritebackBytes = uint64_t(4) << 20;

// A format with extra channels needs somewhere they wait, and a kind for each.
bool Consistent(const TiffWriteSpec& spec) {
    const PixelFormat& f = spec.format;
    return !f.HasExtras() || (spec.extras && spec.extraKinds.size() == size_t(f.extraChannels));
}

} // namespace

CTiffWriter::~CTiffWriter() {
    Close();
}

void CTiffWriter::Close() {
    m_pExtras = nullptr;
    m_pMetadata = nullptr;
    m_bScanlines = false;
    m_fileRow.clear();
    m_fileRow.shrink_to_fit();
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

bool CTiffWriter::CompressionAvailable(TiffCompression compression) {
    return TIFFIsCODECConfigured(compression) == 1;
}

bool CTiffWriter::OpenPending(const char* path, bool bigTiff) {
    std::string temp;
    const int fd = CreatePendingFile(path, temp);
    m_nError = fd < 0 ? errno : 0;
    m_pTiff = fd < 0 ? nullptr : OpenBufferedSink(fd, temp.c_str(), bigTiff ? "w8" : "w");
    if (!m_pTiff) {
        if (fd >= 0)
            DiscardPendingFile(temp);
        TIFFError(path, "Can not open output image");
        return false;
    }
    m_strTempPath = temp;
    m_strFinalPath = path;
    return true;
}

uint64_t CTiffWriter::SizeBound(const TiffWriteSpec& spec) {
    const PixelFormat& f = spec.format;
    const uint64_t fileRowBytes =
        (uint64_t(f.StoredSamples()) * f.bitsPerSample * spec.width + 7) / 8;
    const uint64_t tags =
        (spec.profile ? spec.profileSize : 0) + (spec.metadata ? spec.metadata->Bytes() : 0);
    return WrittenSizeBound(fileRowBytes, spec.height, tags, spec.compression != kCompressNone);
}

bool CTiffWriter::Create(const char* path, const TiffWriteSpec& spec) {
    Close();
    if (!Consistent(spec))
        return false;
    const bool big = SizeBound(spec) + spec.otherPagesBytes > spec.bigTiffThreshold;
    if (!OpenPending(path, big))
        return false;
    m_nPage = 0;
    BeginPage(spec);
    return true;
}

bool CTiffWriter::NextPage(const TiffWriteSpec& spec) {
    if (!m_pTiff || m_nStrip < m_nHeight || !Consistent(spec))
        return false;
    errno = 0;
    const bool written = m_pMetadata ? m_pMetadata->FinishDirectory(m_pTiff, m_nPage)
                                     : TIFFWriteDirectory(m_pTiff) == 1;
    if (!written)
        return Failed();
    ++m_nPage;
    BeginPage(spec);
    return true;
}

void CTiffWriter::BeginPage(const TiffWriteSpec& spec) {
    const PixelFormat& f = spec.format;
    m_nWidth = spec.width;
    m_nHeight = spec.height;
    m_nColourSamples = f.colourChannels;
    m_nRowBytes = (uint64_t(f.colourChannels) * f.bitsPerSample * spec.width + 7) / 8;
    const uint64_t fileRowBytes =
        (uint64_t(f.StoredSamples()) * f.bitsPerSample * spec.width + 7) / 8;
    const bool compressed = spec.compression != kCompressNone;
    m_pExtras = f.HasExtras() ? spec.extras : nullptr;
    m_bScanlines = compressed;
    m_fileRow.clear();
    if (m_pExtras || compressed)
        m_fileRow.resize(fileRowBytes);
    SetLayoutTags(spec);
    if (compressed) {
        const uint64_t rows = std::max<uint64_t>(1, kCompressedStripBytes / fileRowBytes);
        TIFFSetField(m_pTiff, TIFFTAG_ROWSPERSTRIP,
                     uint32_t(std::min<uint64_t>(rows, spec.height)));
    }
    SetDescriptiveTags(spec);
    m_nStrip = 0;
}

void CTiffWriter::SetLayoutTags(const TiffWriteSpec& spec) {
    const PixelFormat& f = spec.format;
    TIFFSetField(m_pTiff, TIFFTAG_IMAGEWIDTH, m_nWidth);
    TIFFSetField(m_pTiff, TIFFTAG_IMAGELENGTH, m_nHeight);
    TIFFSetField(m_pTiff, TIFFTAG_PHOTOMETRIC, f.photometric);
    TIFFSetField(m_pTiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(m_pTiff, TIFFTAG_BITSPERSAMPLE, f.bitsPerSample);
    TIFFSetField(m_pTiff, TIFFTAG_ROWSPERSTRIP, 1u);
    TIFFSetField(m_pTiff, TIFFTAG_COMPRESSION, spec.compression);
    // Differences of neighbouring samples compress far better than the
    // samples themselves.
    if (spec.compression != kCompressNone)
        TIFFSetField(m_pTiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(m_pTiff, TIFFTAG_ORIENTATION, spec.orientation);
    TIFFSetField(m_pTiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(f.StoredSamples()));
    if (m_pExtras)
        TIFFSetField(m_pTiff, TIFFTAG_EXTRASAMPLES, uint16_t(spec.extraKinds.size()),
                     spec.extraKinds.data());
}

void CTiffWriter::SetDescriptiveTags(const TiffWriteSpec& spec) {
    // A source without resolution gives a destination without it, rather
    // than numbers the file never held.
    if (std::isfinite(spec.xResolution) && spec.xResolution > 0)
        TIFFSetField(m_pTiff, TIFFTAG_XRESOLUTION, double(spec.xResolution));
    if (std::isfinite(spec.yResolution) && spec.yResolution > 0)
        TIFFSetField(m_pTiff, TIFFTAG_YRESOLUTION, double(spec.yResolution));
    if (spec.resolutionUnit != 0)
        TIFFSetField(m_pTiff, TIFFTAG_RESOLUTIONUNIT, spec.resolutionUnit);
    if (spec.profile)
        TIFFSetField(m_pTiff, TIFFTAG_ICCPROFILE, spec.profileSize, spec.profile);
    if (spec.format.photometric == PHOTOMETRIC_SEPARATED && m_nColourSamples != 4)
        SetInkTags(spec.inkNames);
    SetPageTags(spec.page);
    m_pMetadata = spec.metadata;
    if (m_pMetadata)
        m_pMetadata->ApplyTo(m_pTiff);
}

void CTiffWriter::SetPageTags(const TiffPageTags& page) {
    if (page.hasNewSubfileType)
        TIFFSetField(m_pTiff, TIFFTAG_SUBFILETYPE, page.newSubfileType);
    if (page.hasSubfileType)
        TIFFSetField(m_pTiff, TIFFTAG_OSUBFILETYPE, page.subfileType);
    if (page.hasPageNumber)
        TIFFSetField(m_pTiff, TIFFTAG_PAGENUMBER, page.pageNumber, page.pageCount);
    if (page.hasPageName)
        TIFFSetField(m_pTiff, TIFFTAG_PAGENAME, page.pageName.c_str());
}

// Inks other than CMYK: "multi-ink" with their count, and their names when
// known, so that other programs read the channels as inks.
void CTiffWriter::SetInkTags(const std::vector<std::string>& names) {
    TIFFSetField(m_pTiff, TIFFTAG_INKSET, INKSET_MULTIINK);
    TIFFSetField(m_pTiff, TIFFTAG_NUMBEROFINKS, uint16_t(m_nColourSamples));
    if (names.size() != size_t(m_nColourSamples))
        return;
    std::string joined;
    for (const std::string& name : names)
        joined.append(name.c_str(), std::strlen(name.c_str()) + 1);
    if (joined.size() <= 0xFFFF)
        TIFFSetField(m_pTiff, TIFFTAG_INKNAMES, int(joined.size()), joined.c_str());
}

bool CTiffWriter::WriteRow(const unsigned char* row) {
    if (!m_pTiff)
        return false;
    if (m_nStrip >= m_nHeight)
        return true;
    // The library's predictor changes the row it is handed, so compressed
    // rows, like rows joined with their extra samples, are written from a copy.
    unsigned char* out = const_cast<unsigned char*>(row);
    if (m_pExtras) {
        if (!m_pExtras->Join(row, m_nWidth, m_fileRow.data()))
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

bool CTiffWriter::WriteFileRow(unsigned char* row) {
    errno = 0;
    const uint64_t bytes = m_fileRow.empty() ? m_nRowBytes : m_fileRow.size();
    const bool written = m_bScanlines ? TIFFWriteScanline(m_pTiff, row, m_nStrip, 0) == 1
                                      : TIFFWriteEncodedStrip(m_pTiff, m_nStrip, row,
                                                              static_cast<tmsize_t>(bytes)) >= 0;
    if (!written)
        return Failed();
    m_nUnsynced += bytes;
    if (m_nUnsynced >= kWritebackBytes)
        StartWriteback();
    return true;
}

void CTiffWriter::StartWriteback() {
    m_nUnsynced = 0;
    // Advice only: Commit's fsync still waits for every byte. A failure to
    // flush shows again when the next write or Commit flushes.
    if (FlushBufferedSink(m_pTiff))
        sync_file_range(TIFFFileno(m_pTiff), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool CTiffWriter::Failed() {
    m_nError = errno;
    return false;
}

bool CTiffWriter::Commit() {
    if (!m_pTiff)
        return false;
    // The kept EXIF tags go after the rows, in a directory of their own.
    errno = 0;
    bool written = m_pMetadata ? m_pMetadata->Finish(m_pTiff, m_nPage) : TIFFFlush(m_pTiff) == 1;
    // On disk before it takes the final name: renamed first, a power cut
    // could leave an empty or short file under that name.
    written = written && FlushBufferedSink(m_pTiff) && fsync(TIFFFileno(m_pTiff)) == 0;
    TIFFClose(m_pTiff);
    m_pTiff = nullptr;
    const std::string temp = m_strTempPath;
    m_strTempPath.clear();
    if (!written) {
        Failed();
        DiscardPendingFile(temp);
        return false;
    }
    return CommitPendingFile(temp, m_strFinalPath) || Failed();
}
