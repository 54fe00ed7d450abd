#pragma once
// A TIFF file's directories as the file holds them, read and patched with
// pread/pwrite, for the few things libtiff cannot be asked: a rational's exact
// numerator and denominator, and an offset written into a directory that is
// already on disk.

#include <cstdint>
#include <vector>

struct RawTiffLayout {
    bool bigEndian = false;
    bool big = false;            // BigTIFF: 8-byte counts and offsets
    uint64_t firstDirectory = 0; // the offset the header points to
    int Word() const { return big ? 8 : 4; }
};

// One directory entry and where its value is in the file (in the entry
// itself when it fits, else where the entry points).
struct RawTiffEntry {
    uint16_t tag = 0, type = 0;
    uint64_t count = 0;
    uint64_t valueAt = 0;
};

bool ReadRawLayout(int fd, RawTiffLayout& layout);
// The entries of the directory at `offset`; false when they cannot be read.
bool ReadRawEntries(int fd, const RawTiffLayout& layout, uint64_t offset,
                    std::vector<RawTiffEntry>& entries);

// The offset of the directory after the one at `offset` (0 after the last).
bool ReadRawNextDirectory(int fd, const RawTiffLayout& layout, uint64_t offset, uint64_t& next);

// Unsigned integers of `size` bytes in the file's byte order.
uint64_t DecodeRaw(const unsigned char* p, int size, bool bigEndian);
void EncodeRaw(uint64_t v, unsigned char* p, int size, bool bigEndian);

bool ReadRawAt(int fd, uint64_t offset, unsigned char* data, uint64_t size);
bool WriteRawAt(int fd, uint64_t offset, const unsigned char* data, uint64_t size);
