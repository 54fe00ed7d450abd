#pragma once
// One TIFF file open for reading (rows handed out in order, decoded one at a
// time) or for writing (one row per strip, uncompressed). A file being
// written is a hidden temporary file until Commit puts it under its name.

#include <cstdint>
#include <string>
#include <vector>

#include "ColorModel.h"

typedef struct tiff TIFF;
class CAlphaCarrier;
class CTiffMetadata;

// Above this many bytes, pixels and directory together, a destination is
// written as BigTIFF: classic TIFF cannot address past 4 GiB.
constexpr uint64_t kBigTiffThreshold = (uint64_t(4) << 30) - (uint64_t(1) << 20);

// The largest single block libtiff may allocate for a source's tags as it
// reads its directory: a few bytes of a file can otherwise claim gigabytes.
constexpr uint64_t kDefaultMaxTiffAllocation = uint64_t(256) << 20;

// Compression of a destination's pixels (TIFF's own codes).
enum TiffCompression : uint16_t {
    kCompressNone = 1,
    kCompressLzw = 5,
    kCompressDeflate = 8,
    kCompressZstd = 50000,
};

// What a destination carries besides its pixels and profile.
struct TiffWriteOptions {
    uint16_t resolutionUnit = 0; // 0: no unit tag
    uint64_t bigTiffThreshold = kBigTiffThreshold;
    TiffCompression compression = kCompressNone;
    // When set, every row also gets the alpha sample kept by the source's
    // reader, written as a trailing unassociated alpha channel.
    CAlphaCarrier* alpha = nullptr;
    // Tags kept from the source; must outlive the file's Commit or Close.
    const CTiffMetadata* metadata = nullptr;
    // Names of the inks of a destination of inks other than CMYK, one for
    // each sample; must outlive the call that creates the file.
    const std::vector<std::string>* inkNames = nullptr;
};

// Stops libtiff from printing its own errors and warnings (process-wide).
// The command-line tool does this so that standard error carries only the
// program's own messages.
void SilenceTiffLibraryMessages();

class CTiffImage {
public:
    CTiffImage();
    virtual ~CTiffImage();
    CTiffImage(const CTiffImage&) = delete;
    CTiffImage& operator=(const CTiffImage&) = delete;

    // Ends whatever the object holds. A file being written that was not
    // committed is removed: its final name keeps what it held before.
    void Close();
    // A file that needs a larger single block than the limit is refused as
    // invalid. The limit holds for every file opened afterwards.
    void SetAllocationLimit(uint64_t bytes) { m_nMaxAllocation = bytes; }
    bool OpenForRead(const char* path);
    // A resolution of 0 (or any value that is not a positive number) writes
    // no resolution tag. iccData null means no embedded profile.
    bool CreateForWrite(const char* path, uint32_t width, uint32_t height, uint16_t bitsPerSample,
                        TiffColorModel model, uint16_t samplesPerPixel, float xResolution,
                        float yResolution, const void* iccData, uint32_t iccSize,
                        const TiffWriteOptions& options = {});
    bool ReadRow(unsigned char* row);
    bool WriteRow(const unsigned char* row);
    // Writes out what the library still holds of a file being written (its
    // directory above all) and renames it over its final name; false when
    // either fails, and then nothing is left under either name.
    bool Commit();

    TiffColorModel GetColorModel() const;
    uint32_t GetWidth() const { return m_nWidth; }
    uint32_t GetHeight() const { return m_nHeight; }
    uint16_t GetBitsPerSample() const { return m_nBitsPerSample; }
    uint16_t GetSampleFormat() const { return m_nSampleFormat; }
    uint16_t GetSamplesPerPixel() const { return m_nSamplesPerPixel; }
    uint16_t GetPhotometric() const { return m_nPhotometric; }
    float GetXResolution() const { return m_fXResolution; }
    float GetYResolution() const { return m_fYResolution; }
    uint16_t GetResolutionUnit() const { return m_nResolutionUnit; }
    // Bytes of the rows ReadRow hands out and WriteRow takes: without the
    // alpha sample when alpha is carried.
    uint64_t GetRowBytes() const { return m_nRowBytes; }
    // 8 bits per sample, unsigned integers: the only samples converted.
    bool HasEightBitUnsignedSamples() const;
    // One extra sample, marked unassociated alpha.
    bool HasUnassociatedAlpha() const { return m_bUnassociatedAlpha; }
    uint16_t GetExtraSampleCount() const { return m_nExtraSamples; }
    // The embedded ICC profile's bytes; false when the file has none.
    bool GetIccProfile(std::vector<unsigned char>& bytes) const;

    // Reading: the source's descriptive tags, read before the first row.
    // False when they cannot be read, and then also when the file no longer
    // holds the layout it was opened with: its rows are then refused too.
    bool ReadMetadata(CTiffMetadata& metadata);
    // Reading: rows are handed out without their trailing alpha sample, which
    // goes to the carrier. Call after OpenForRead, before the first row.
    void CarryAlpha(CAlphaCarrier* carrier);
    // Reading: every sample handed out as 255 minus its value (grey stored
    // white-is-zero, read as black-is-zero).
    void InvertSamples() { m_bInvert = true; }

    static TiffColorModel ColorModelOf(uint16_t photometric);
    static uint16_t PhotometricFor(TiffColorModel model, uint16_t samplesPerPixel);
    // The photometric interpretations whose pixels are read as stored:
    // grey either way round, RGB, inks and CIELab. Others (palette,
    // transparency masks, YCbCr, colour filter arrays...) never agree with a
    // profile.
    static bool IsReadPhotometric(uint16_t photometric);

    static bool CompressionAvailable(TiffCompression compression);

private:
    bool ReadLayout();
    void SetImageTags(const TiffWriteOptions& options);
    bool WriteFileRow(unsigned char* row);
    void SetInkTags(const std::vector<std::string>* names);

    TIFF* m_pTiff;
    bool m_bRead = false;
    uint32_t m_nWidth;
    uint32_t m_nHeight;
    uint16_t m_nBitsPerSample;
    uint16_t m_nSampleFormat = 1;
    uint16_t m_nPhotometric = 0;
    uint16_t m_nSamplesPerPixel;
    float m_fXResolution = 0;
    float m_fYResolution = 0;
    uint16_t m_nResolutionUnit = 0;
    uint64_t m_nRowBytes = 0;
    bool m_bRowsReadable = false;
    uint16_t m_nExtraSamples = 0;
    bool m_bUnassociatedAlpha = false;
    bool m_bInvert = false;
    bool m_bScanlines = false; // written with several rows a strip
    CAlphaCarrier* m_pAlpha = nullptr;
    const CTiffMetadata* m_pMetadata = nullptr;
    std::vector<unsigned char> m_fileRow; // a whole row, alpha included
    std::vector<uint64_t> m_layoutKey;    // what the rows are decoded with
    uint64_t m_nMaxAllocation = kDefaultMaxTiffAllocation;
    bool m_bAllocationRefused = false;
    uint32_t m_nRow = 0;
    uint32_t m_nStrip = 0;
    std::string m_strTempPath;  // the hidden file being written
    std::string m_strFinalPath; // the name it is committed under
};
