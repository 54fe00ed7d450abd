#pragma once
// One TIFF file being written, one row per strip (several when compressed).
// It is a hidden temporary file until Commit puts it under its name; closed
// or destroyed before that, it leaves nothing behind.

#include <cstdint>
#include <string>
#include <vector>

#include "PixelFormat.h"
#include "TiffPageTags.h"

typedef struct tiff TIFF;
class CExtraCarrier;
class CTiffMetadata;

// Above this many bytes, pixels and directory together, a destination is
// written as BigTIFF: classic TIFF cannot address past 4 GiB.
constexpr uint64_t kBigTiffThreshold = (uint64_t(4) << 30) - (uint64_t(1) << 20);

// Compression of a destination's pixels (TIFF's own codes).
enum TiffCompression : uint16_t {
    kCompressNone = 1,
    kCompressLzw = 5,
    kCompressDeflate = 8,
    kCompressZstd = 50000,
};

// Everything a destination file is made of besides its rows.
struct TiffWriteSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    PixelFormat format;
    // A resolution of 0 (or any value that is not a positive number) writes
    // no resolution tag; a unit of 0 no unit tag.
    float xResolution = 0;
    float yResolution = 0;
    uint16_t resolutionUnit = 0;
    // The profile to embed; null for none.
    const unsigned char* profile = nullptr;
    uint32_t profileSize = 0;
    uint64_t bigTiffThreshold = kBigTiffThreshold;
    TiffCompression compression = kCompressNone;
    // Where each row's extra samples wait, for a format with extra channels:
    // written after the colour samples, of the kinds given (TIFF's
    // ExtraSamples values, one for each).
    CExtraCarrier* extras = nullptr;
    std::vector<uint16_t> extraKinds;
    // TIFF's Orientation of the rows, as the source's.
    uint16_t orientation = 1;
    // Tags kept from the source; must outlive the file's Commit or Close.
    const CTiffMetadata* metadata = nullptr;
    // Names of the inks of a destination of inks other than CMYK, one for
    // each colour channel.
    std::vector<std::string> inkNames;
    // The image's place among the file's pages.
    TiffPageTags page;
    // What the file's other pages take at most (SizeBound of each), so that
    // the first page knows whether the file must be BigTIFF.
    uint64_t otherPagesBytes = 0;
};

class CTiffWriter {
public:
    CTiffWriter() = default;
    ~CTiffWriter();
    CTiffWriter(const CTiffWriter&) = delete;
    CTiffWriter& operator=(const CTiffWriter&) = delete;

    // The system's reason (errno) for the last failure to make the hidden
    // file or to write to it; 0 when it gave none.
    int GetError() const { return m_nError; }
    // Creates the hidden file and begins its first page.
    bool Create(const char* path, const TiffWriteSpec& spec);
    // Ends the page whose rows have all been written and begins the next;
    // false when the page could not be written out.
    bool NextPage(const TiffWriteSpec& spec);
    // Takes a row of the format's colour samples.
    bool WriteRow(const unsigned char* row);
    // Writes out what the library still holds (its directory above all) and
    // renames the file over its final name; false when either fails, and
    // then nothing is left under either name.
    bool Commit();
    // Ends the file; one not committed is removed, and its final name keeps
    // what it held before.
    void Close();

    uint64_t GetRowBytes() const { return m_nRowBytes; }

    static bool CompressionAvailable(TiffCompression compression);
    // What one page written with these settings takes on disk at most.
    static uint64_t SizeBound(const TiffWriteSpec& spec);

private:
    bool OpenPending(const char* path, bool bigTiff);
    void BeginPage(const TiffWriteSpec& spec);
    void SetLayoutTags(const TiffWriteSpec& spec);
    void SetDescriptiveTags(const TiffWriteSpec& spec);
    void SetInkTags(const std::vector<std::string>& names);
    void SetPageTags(const TiffPageTags& page);
    // Keeps errno as the reason of a failure; false.
    bool Failed();
    bool WriteFileRow(unsigned char* row);
    void StartWriteback();

    TIFF* m_pTiff = nullptr;
    uint32_t m_nWidth = 0;
    uint32_t m_nHeight = 0;
    int m_nColourSamples = 0;
    uint64_t m_nRowBytes = 0;
    bool m_bScanlines = false; // several rows a strip
    CExtraCarrier* m_pExtras = nullptr;
    const CTiffMetadata* m_pMetadata = nullptr;
    std::vector<unsigned char> m_fileRow; // a whole row, extra samples included
    uint32_t m_nStrip = 0;
    uint32_t m_nPage = 0;
    uint64_t m_nUnsynced = 0;   // bytes handed over since writeback last began
    std::string m_strTempPath;  // the hidden file being written
    int m_nError = 0;           // see GetError
    std::string m_strFinalPath; // the name it is committed under
};
