#pragma once
// The tags of a source image that describe it rather than its colours, kept
// so that a converted copy still says who made it, when and with what.
// Tags tied to the source's colours (its ICC profile, white point, primaries,
// transfer function, and the EXIF colour space) are never kept: they would
// contradict the converted pixels.

#include <cstdint>
#include <vector>

typedef struct tiff TIFF;

// The metadata of a source image worth keeping in its converted copy.
class CTiffMetadata {
public:
    // Reads it from the current (first) directory of a file open for reading,
    // and the EXIF directory through exifReader, a second handle on the same
    // file (null when none could be opened): reading a sub-directory replaces
    // a handle's directory, and the source's must stay the one whose layout
    // was checked. False only when the file's metadata is unreadable; a file
    // with none is fine.
    bool Read(TIFF* source, TIFF* exifReader);
    // On a destination opened for writing (classic "w" or BigTIFF "w8", through
    // TIFFFdOpen on a fresh file) whose image tags (size, samples, photometric,
    // compression, rows per strip...) have been set and no row written yet: sets
    // the simple tags and anything the directory must reserve for the EXIF
    // sub-directory.
    void ApplyTo(TIFF* dest) const;
    // Called once every row of the file's last image (directory `index` of
    // its chain) has been written (by TIFFWriteEncodedStrip or by
    // TIFFWriteScanline), instead of TIFFFlush: writes the EXIF sub-directory, if
    // any, and the image's directory pointing to it, so that the file is complete
    // when this returns true. The caller then calls TIFFClose.
    bool Finish(TIFF* dest, uint32_t index) const;
    // The same for an image that more follow, instead of TIFFWriteDirectory.
    bool FinishDirectory(TIFF* dest, uint32_t index) const;
    bool Empty() const;
    // About what the kept tags take in a file, directory entries included.
    uint64_t Bytes() const;

    // One tag's value as libtiff stores it: count elements of the size
    // TIFFFieldSetGetSize gives for the tag (a string counts its final zero).
    struct STagValue {
        uint32_t tag = 0;
        uint16_t type = 0; // TIFF's data type, as the source's libtiff has it
        uint32_t count = 0;
        std::vector<unsigned char> bytes;
        // A RATIONAL or SRATIONAL value's numerators and denominators as the
        // source file holds them, in turn; empty when not known.
        std::vector<uint32_t> exact;
    };

private:
    bool ReadExif(TIFF* source, uint64_t offset);

    std::vector<STagValue> m_imageTags;
    std::vector<STagValue> m_exifTags;
};
