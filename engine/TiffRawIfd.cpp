#include "TiffRawIfd.h"

#include <unistd.h>

#include <limits>

namespace {

// Bytes of one value of a TIFF field type; 0 for a type this file does not
// know, whose value is then never looked at.
int TypeSize(uint16_t type) {
    static const int kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    return type < sizeof kSizes / sizeof kSizes[0] ? kSizes[type] : 0;
}

} // namespace

uint64_t DecodeRaw(const unsigned char* p, int size, bool bigEndian) {
    uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= uint64_t(p[bigEndian ? size - 1 - i : i]) << (8 * i);
    return v;
}

void EncodeRaw(uint64_t v, unsigned char* p, int size, bool bigEndian) {
    for (int i = 0; i < size; ++i)
        p[bigEndian ? size - 1 - i : i] = static_cast<unsigned char>(v >> (8 * i));
}

bool ReadRawAt(int fd, uint64_t offset, unsigned char* data, uint64_t size) {
    if (offset > uint64_t(std::numeric_limits<off_t>::max()) || size > (uint64_t(1) << 30))
        return false;
    return pread(fd, data, size_t(size), off_t(offset)) == ssize_t(size);
}

bool WriteRawAt(int fd, uint64_t offset, const unsigned char* data, uint64_t size) {
    if (offset > uint64_t(std::numeric_limits<off_t>::max()) || size > (uint64_t(1) << 30))
        return false;
    return pwrite(fd, data, size_t(size), off_t(offset)) == ssize_t(size);
}

// The file's header says how it is laid out: libtiff 4.5's TIFFIsBigTIFF is
// wrong for a file in the other byte order than the machine's.
bool ReadRawLayout(int fd, RawTiffLayout& layout) {
    unsigned char header[16];
    if (!ReadRawAt(fd, 0, header, sizeof header) || header[0] != header[1] ||
        (header[0] != 'M' && header[0] != 'I'))
        return false;
    layout.bigEndian = header[0] == 'M';
    const uint64_t version = DecodeRaw(header + 2, 2, layout.bigEndian);
    if (version != 42 && version != 43)
        return false;
    layout.big = version == 43;
    layout.firstDirectory =
        DecodeRaw(header + (layout.big ? 8 : 4), layout.Word(), layout.bigEndian);
    return true;
}

bool ReadRawEntries(int fd, const RawTiffLayout& layout, uint64_t offset,
                    std::vector<RawTiffEntry>& entries) {
    const int word = layout.Word(), countSize = layout.big ? 8 : 2, entrySize = 4 + 2 * word;
    unsigned char buffer[8];
    entries.clear();
    if (!ReadRawAt(fd, offset, buffer, countSize))
        return false;
    const uint64_t n = DecodeRaw(buffer, countSize, layout.bigEndian);
    if (n > 0xFFFF)
        return false;
    std::vector<unsigned char> table(n * entrySize);
    if (!ReadRawAt(fd, offset + countSize, table.data(), table.size()))
        return false;
    for (uint64_t i = 0; i < n; ++i) {
        const unsigned char* p = &table[i * entrySize];
        RawTiffEntry e;
        e.tag = uint16_t(DecodeRaw(p, 2, layout.bigEndian));
        e.type = uint16_t(DecodeRaw(p + 2, 2, layout.bigEndian));
        e.count = DecodeRaw(p + 4, word, layout.bigEndian);
        const int size = TypeSize(e.type);
        const bool inEntry = size > 0 && e.count <= uint64_t(word / size);
        e.valueAt = inEntry ? offset + countSize + i * entrySize + 4 + word
                            : DecodeRaw(p + 4 + word, word, layout.bigEndian);
        entries.push_back(e);
    }
    return true;
}

bool ReadRawNextDirectory(int fd, const RawTiffLayout& layout, uint64_t offset, uint64_t& next) {
    const int word = layout.Word(), countSize = layout.big ? 8 : 2, entrySize = 4 + 2 * word;
    unsigned char buffer[8];
    if (!ReadRawAt(fd, offset, buffer, countSize))
        return false;
    const uint64_t n = DecodeRaw(buffer, countSize, layout.bigEndian);
    if (n > 0xFFFF || !ReadRawAt(fd, offset + countSize + n * entrySize, buffer, word))
        return false;
    next = DecodeRaw(buffer, word, layout.bigEndian);
    return next != 0;
}
