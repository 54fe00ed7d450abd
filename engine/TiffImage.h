#pragma once
// One TIFF file open for reading (rows handed out in order, one decoded strip
// held at a time) or for writing (one row per strip, uncompressed).

#include <cstdint>

typedef struct tiff TIFF;

enum TiffColorModel {
    TCM_ADDITIVE = 0,    // RGB, or grey stored black-is-zero
    TCM_SUBTRACTIVE = 1, // inks, or grey stored white-is-zero
    TCM_LAB = 2,         // CIE L*a*b*
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

    // Ends whatever the object holds; closing a written file completes it.
    void Close();
    bool OpenForRead(const char* path);
    // A resolution of 0 (or any value that is not a positive number) writes
    // no resolution tag. iccData null means no embedded profile.
    bool CreateForWrite(const char* path, uint32_t width, uint32_t height, uint16_t bitsPerSample,
                        TiffColorModel model, uint16_t samplesPerPixel, float xResolution,
                        float yResolution, const void* iccData, uint32_t iccSize);
    bool ReadRow(unsigned char* row);
    bool WriteRow(const unsigned char* row);
    // Writes out what the library still holds of a file being written (its
    // directory above all); false when that fails, so a full disk is not
    // taken for a finished image.
    bool Flush();

    TiffColorModel GetColorModel() const;
    uint32_t GetWidth() const { return m_nWidth; }
    uint32_t GetHeight() const { return m_nHeight; }
    uint16_t GetBitsPerSample() const { return m_nBitsPerSample; }
    uint16_t GetSamplesPerPixel() const { return m_nSamplesPerPixel; }
    uint16_t GetPhotometric() const { return m_nPhotometric; }
    float GetXResolution() const { return m_fXResolution; }
    float GetYResolution() const { return m_fYResolution; }
    uint32_t GetRowBytes() const { return m_nRowBytes; }

    static TiffColorModel ColorModelOf(uint16_t photometric);
    static uint16_t PhotometricFor(TiffColorModel model, uint16_t samplesPerPixel);

private:
    bool PrepareRowReading();

    TIFF* m_pTiff;
    bool m_bRead = false;
    uint32_t m_nWidth;
    uint32_t m_nHeight;
    uint16_t m_nBitsPerSample;
    uint16_t m_nPhotometric = 0;
    uint16_t m_nSamplesPerPixel;
    float m_fXResolution = 0;
    float m_fYResolution = 0;
    uint32_t m_nRowBytes = 0;
    uint32_t m_nRowsPerStrip = 0;
    uint32_t m_nStripSize = 0;
    unsigned char* m_pStripBuffer;
    uint32_t m_nRow = 0;
    uint32_t m_nStrip = 0;
    // Bytes the library actually decoded into the strip buffer; rows are
    // never copied from beyond them.
    uint32_t m_nStripBytes = 0;
};
