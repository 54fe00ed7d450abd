#pragma once
// One TIFF file open for reading: its layout, its tags, and its rows handed
// out in order, decoded one at a time. CTiffWriter writes one.

#include <cstdint>
#include <string>
#include <vector>

#include "ColorModel.h"
#include "PixelFormat.h"
#include "TiffBands.h"
#include "TiffPageTags.h"

typedef struct tiff TIFF;
class CExtraCarrier;
class CTiffMetadata;

// The largest single block libtiff may allocate for a source's tags as it
// reads its directory: a few bytes of a file can otherwise claim gigabytes.
constexpr uint64_t kDefaultMaxTiffAllocation = uint64_t(256) << 20;

// Stops libtiff from printing its own errors and warnings (process-wide).
// The command-line tool does this so that standard error carries only the
// program's own messages.
void SilenceTiffLibraryMessages();

class CTiffImage {
public:
    CTiffImage() = default;
    ~CTiffImage();
    CTiffImage(const CTiffImage&) = delete;
    CTiffImage& operator=(const CTiffImage&) = delete;

    void Close();
    // A file that needs a larger single block than the limit is refused as
    // invalid. The limit holds for every file opened afterwards.
    void SetAllocationLimit(uint64_t bytes) { m_nMaxAllocation = bytes; }
    // Opens the file on its first image.
    bool OpenForRead(const char* path);
    // Images in the file's main chain of directories (pages and reduced-
    // resolution copies; images kept in sub-directories are not counted);
    // 0 when the chain cannot be walked.
    uint32_t CountPages();
    // Moves to image `index` of the chain, with its own layout and tags, and
    // its rows from the first; false when its directory cannot be read. The
    // way rows are handed out is set afresh for every image.
    bool OpenPage(uint32_t index);
    uint32_t GetPage() const { return m_nPage; }
    const TiffPageTags& GetPageTags() const { return m_pageTags; }
    // What the rows' decoding depends on, as the image's directory says.
    const std::vector<uint64_t>& GetLayoutKey() const { return m_layoutKey; }
    bool ReadRow(unsigned char* row);

    TiffColorModel GetColorModel() const { return ColorModelOf(m_tags.photometric); }
    uint32_t GetWidth() const { return m_nWidth; }
    uint32_t GetHeight() const { return m_nHeight; }
    uint16_t GetBitsPerSample() const { return m_tags.bitsPerSample; }
    uint16_t GetSampleFormat() const { return m_tags.sampleFormat; }
    uint16_t GetSamplesPerPixel() const { return m_tags.samplesPerPixel; }
    uint16_t GetPhotometric() const { return m_tags.photometric; }
    const TiffPixelTags& GetPixelTags() const { return m_tags; }
    float GetXResolution() const { return m_fXResolution; }
    float GetYResolution() const { return m_fYResolution; }
    uint16_t GetResolutionUnit() const { return m_nResolutionUnit; }
    // Bytes of the rows ReadRow hands out: the colour samples alone once
    // HandOut has been told the file carries extra samples.
    uint64_t GetRowBytes() const { return m_nRowBytes; }
    // 8 or 16 bits per sample, unsigned integers: the only samples converted.
    bool HasConvertibleSamples() const;
    uint16_t GetExtraSampleCount() const { return uint16_t(m_tags.extraKinds.size()); }
    // How the stored rows are to be shown (TIFF's Orientation, 1 to 8): rows
    // are handed out as stored, and the destination says the same.
    uint16_t GetOrientation() const { return m_nOrientation; }
    // The embedded ICC profile's bytes; false when the file has none.
    bool GetIccProfile(std::vector<unsigned char>& bytes) const;

    // The source's descriptive tags, read before the first row. False when
    // they cannot be read, and then also when the file no longer holds the
    // layout it was opened with: its rows are then refused too.
    bool ReadMetadata(CTiffMetadata& metadata);
    // How rows are handed out, set before the first: a format with extra
    // channels hands out the colour samples alone and gives each row's extra
    // samples to the carrier; white-is-zero grey is handed out complemented.
    void HandOut(const PixelFormat& format, CExtraCarrier* extras);

private:
    bool ReadLayout();
    void ReadPixelTags();
    void ReadPageTags();
    bool TakeDirectory();

    TIFF* m_pTiff = nullptr;
    uint32_t m_nWidth = 0;
    uint32_t m_nHeight = 0;
    TiffPixelTags m_tags;
    float m_fXResolution = 0;
    float m_fYResolution = 0;
    uint16_t m_nResolutionUnit = 0;
    uint64_t m_nRowBytes = 0;
    bool m_bRowsReadable = false;
    bool m_bInvert = false;
    CExtraCarrier* m_pExtras = nullptr;
    std::vector<unsigned char> m_fileRow; // a whole row, extra samples included
    CTiffBands m_bands;                   // rows of tiles or separate planes
    bool m_bBands = false;
    uint16_t m_nOrientation = 1;
    uint64_t m_nFileExtraSamples = 0;
    std::vector<uint64_t> m_layoutKey; // what the rows are decoded with
    uint64_t m_nMaxAllocation = kDefaultMaxTiffAllocation;
    bool m_bAllocationRefused = false;
    uint32_t m_nRow = 0;
    uint32_t m_nPage = 0;
    TiffPageTags m_pageTags;
};
