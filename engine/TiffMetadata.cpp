#include "TiffMetadata.h"

#include <tiffio.h>
#include <unistd.h>

#include <cstring>

namespace {

using STagValue = CTiffMetadata::STagValue;

// Tags of the image's own directory that describe the picture, not its colours.
constexpr uint32_t kKeptImageTags[] = {
    TIFFTAG_XMLPACKET, TIFFTAG_RICHTIFFIPTC,     TIFFTAG_DATETIME, TIFFTAG_ARTIST,
    TIFFTAG_COPYRIGHT, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_SOFTWARE,
};

bool IsOffsetType(TIFFDataType type) {
    return type == TIFF_IFD || type == TIFF_IFD8;
}

// An EXIF tag worth carrying over. The colour space describes the source's
// pixels, which the copy no longer has. Tags libtiff does not know (maker-
// private ones among them) are read as anonymous fields whose meaning and
// storage the destination cannot be told about, and an offset would point
// into the source file: both are left behind.
bool KeepsExifTag(const TIFFField* field) {
    return field && TIFFFieldTag(field) != EXIFTAG_COLORSPACE && !TIFFFieldIsAnonymous(field) &&
           !IsOffsetType(TIFFFieldDataType(field)) && TIFFFieldReadCount(field) != TIFF_SPP;
}

void Store(STagValue& value, const void* data, uint32_t count, int elementSize) {
    value.count = count;
    const auto* bytes = static_cast<const unsigned char*>(data);
    value.bytes.assign(bytes, bytes + size_t(count) * size_t(elementSize));
}

// TIFFGetField hands a value back in one of four shapes, depending on how the
// tag is declared; each is stored the same way.
bool GetValue(TIFF* tif, const TIFFField* field, STagValue& value) {
    const uint32_t tag = TIFFFieldTag(field);
    const int size = TIFFFieldSetGetSize(field);
    const int readCount = TIFFFieldReadCount(field);
    const void* data = nullptr;
    value.tag = tag;
    if (size <= 0 || size > 8)
        return false;
    if (TIFFFieldPassCount(field)) {
        uint32_t count = 0;
        uint16_t shortCount = 0;
        const bool got = readCount == TIFF_VARIABLE2 ? TIFFGetField(tif, tag, &count, &data)
                                                     : TIFFGetField(tif, tag, &shortCount, &data);
        if (readCount != TIFF_VARIABLE2)
            count = shortCount;
        if (!got || !data || count == 0)
            return false;
        Store(value, data, count, size);
    } else if (TIFFFieldDataType(field) == TIFF_ASCII) {
        const char* text = nullptr;
        if (!TIFFGetField(tif, tag, &text) || !text)
            return false;
        Store(value, text, uint32_t(std::strlen(text) + 1), 1);
    } else if (readCount != 1) {
        // A fixed count above one, or a variable count libtiff treats as one.
        if (!TIFFGetField(tif, tag, &data) || !data)
            return false;
        Store(value, data, readCount > 1 ? uint32_t(readCount) : 1u, size);
    } else {
        uint64_t single = 0; // room and alignment for any one value
        if (!TIFFGetField(tif, tag, &single))
            return false;
        Store(value, &single, 1, size);
    }
    return true;
}

// Passes a stored single value to TIFFSetField as Arg, the type a variadic
// argument of type T is promoted to.
template <typename T, typename Arg = T>
bool SetAs(TIFF* tif, uint32_t tag, const std::vector<unsigned char>& bytes) {
    T v{};
    if (bytes.size() != sizeof v)
        return false;
    std::memcpy(&v, bytes.data(), sizeof v);
    return TIFFSetField(tif, tag, Arg(v));
}

bool SetSingle(TIFF* tif, const TIFFField* field, const STagValue& value) {
    const uint32_t tag = value.tag;
    const auto& b = value.bytes;
    switch (TIFFFieldDataType(field)) {
    case TIFF_BYTE:
    case TIFF_UNDEFINED:
        return SetAs<uint8_t, int>(tif, tag, b);
    case TIFF_SBYTE:
        return SetAs<int8_t, int>(tif, tag, b);
    case TIFF_SHORT:
        return SetAs<uint16_t, int>(tif, tag, b);
    case TIFF_SSHORT:
        return SetAs<int16_t, int>(tif, tag, b);
    case TIFF_LONG:
        return SetAs<uint32_t>(tif, tag, b);
    case TIFF_SLONG:
        return SetAs<int32_t>(tif, tag, b);
    case TIFF_LONG8:
        return SetAs<uint64_t>(tif, tag, b);
    case TIFF_SLONG8:
        return SetAs<int64_t>(tif, tag, b);
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
    case TIFF_FLOAT:
    case TIFF_DOUBLE:
        // Rationals are held as float or double, as the tag's declaration says.
        return b.size() == sizeof(double) ? SetAs<double>(tif, tag, b)
                                          : SetAs<float, double>(tif, tag, b);
    default:
        return false;
    }
}

bool SetValue(TIFF* tif, const STagValue& value) {
    const TIFFField* field = TIFFFieldWithTag(tif, value.tag);
    if (!field || value.bytes.empty())
        return false;
    const void* data = value.bytes.data();
    if (TIFFFieldPassCount(field)) {
        if (TIFFFieldWriteCount(field) == TIFF_VARIABLE2)
            return TIFFSetField(tif, value.tag, value.count, data);
        return TIFFSetField(tif, value.tag, int(value.count), data);
    }
    if (TIFFFieldDataType(field) == TIFF_ASCII)
        return TIFFSetField(tif, value.tag, static_cast<const char*>(data));
    if (TIFFFieldWriteCount(field) != 1)
        return TIFFSetField(tif, value.tag, data);
    return SetSingle(tif, field, value);
}

bool SetValues(TIFF* tif, const std::vector<STagValue>& values) {
    for (const STagValue& value : values)
        if (!SetValue(tif, value))
            return false;
    return true;
}

// Integers as the file stores them, whatever the machine's byte order.
uint64_t Decode(const unsigned char* p, int size, bool bigEndian) {
    uint64_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= uint64_t(p[bigEndian ? size - 1 - i : i]) << (8 * i);
    return v;
}

void Encode(uint64_t v, unsigned char* p, int size, bool bigEndian) {
    for (int i = 0; i < size; ++i)
        p[bigEndian ? size - 1 - i : i] = static_cast<unsigned char>(v >> (8 * i));
}

bool ReadAt(int fd, uint64_t offset, unsigned char* data, size_t size) {
    return pread(fd, data, size, off_t(offset)) == ssize_t(size);
}

// The image's directory, the file's first, went out with a zero EXIF offset.
// Only that entry's value is replaced, in the file: writing the directory again
// through the library would not do, as a directory read back may hold tags
// the written one did not (a default planar configuration, say) and grow over
// what follows it.
bool PointToExif(TIFF* tif, uint64_t exifOffset) {
    // The file's header says how it is laid out: libtiff 4.5's TIFFIsBigTIFF
    // is wrong for a file in the other byte order than the machine's.
    const int fd = TIFFFileno(tif);
    unsigned char header[16];
    if (!ReadAt(fd, 0, header, sizeof header) || header[0] != header[1])
        return false;
    const bool bigEndian = header[0] == 'M';
    const uint64_t version = Decode(header + 2, 2, bigEndian);
    if (version != 42 && version != 43)
        return false;
    const bool big = version == 43;
    const int word = big ? 8 : 4, countSize = big ? 8 : 2, entrySize = big ? 20 : 12;
    const uint64_t directory = Decode(header + (big ? 8 : 4), word, bigEndian);
    unsigned char buffer[8];
    if (!ReadAt(fd, directory, buffer, countSize))
        return false;
    const uint64_t entries = Decode(buffer, countSize, bigEndian);
    if (entries > 0xFFFF)
        return false;
    std::vector<unsigned char> table(entries * entrySize);
    if (!ReadAt(fd, directory + countSize, table.data(), table.size()))
        return false;
    for (uint64_t i = 0; i < entries; ++i) {
        unsigned char* entry = &table[i * entrySize];
        if (Decode(entry, 2, bigEndian) != TIFFTAG_EXIFIFD)
            continue;
        const uint64_t type = Decode(entry + 2, 2, bigEndian);
        const int size = type == TIFF_LONG || type == TIFF_IFD     ? 4
                         : type == TIFF_LONG8 || type == TIFF_IFD8 ? 8
                                                                   : 0;
        if (size == 0 || size > word || Decode(entry + 4, word, bigEndian) != 1 ||
            (size == 4 && exifOffset > 0xFFFFFFFFu))
            return false;
        unsigned char* value = entry + 4 + word;
        Encode(exifOffset, value, size, bigEndian);
        const uint64_t at = directory + countSize + i * entrySize + 4 + word;
        return pwrite(fd, value, size_t(size), off_t(at)) == ssize_t(size);
    }
    return false;
}

} // namespace

bool CTiffMetadata::Read(TIFF* source) {
    m_imageTags.clear();
    m_exifTags.clear();
    for (uint32_t tag : kKeptImageTags) {
        STagValue value;
        const TIFFField* field = TIFFFieldWithTag(source, tag);
        if (field && GetValue(source, field, value))
            m_imageTags.push_back(std::move(value));
    }
    uint64_t exifOffset = 0;
    if (!TIFFGetField(source, TIFFTAG_EXIFIFD, &exifOffset))
        return true;
    const tdir_t image = TIFFCurrentDirectory(source);
    const bool exifRead = ReadExif(source, exifOffset);
    // Reading the EXIF directory replaced the image's in the library: the rows
    // are read from the image's, so it is read again whatever happened.
    const bool back = TIFFSetDirectory(source, image) == 1;
    return exifRead && back;
}

bool CTiffMetadata::ReadExif(TIFF* source, uint64_t offset) {
    if (offset == 0 || !TIFFReadEXIFDirectory(source, offset))
        return false;
    const int count = TIFFGetTagListCount(source);
    for (int i = 0; i < count; ++i) {
        const TIFFField* field = TIFFFieldWithTag(source, TIFFGetTagListEntry(source, i));
        STagValue value;
        if (KeepsExifTag(field) && GetValue(source, field, value))
            m_exifTags.push_back(std::move(value));
    }
    return true;
}

void CTiffMetadata::ApplyTo(TIFF* dest) const {
    // A tag the destination refuses is one tag lost, not the others.
    for (const STagValue& value : m_imageTags)
        SetValue(dest, value);
    // The EXIF directory can only be written after the image's (libtiff holds
    // one directory at a time), so the image's goes first with a zero offset
    // that Finish replaces.
    if (!m_exifTags.empty())
        TIFFSetField(dest, TIFFTAG_EXIFIFD, uint64_t(0));
}

bool CTiffMetadata::Finish(TIFF* dest) const {
    if (m_exifTags.empty())
        return TIFFFlush(dest) == 1;
    uint64_t exifOffset = 0;
    if (!TIFFWriteDirectory(dest) || TIFFCreateEXIFDirectory(dest) != 0)
        return false;
    const bool written = SetValues(dest, m_exifTags) && TIFFWriteCustomDirectory(dest, &exifOffset);
    // Left on the EXIF directory, the library would write it once more, as an
    // image, when the file is closed: an empty directory is left instead.
    TIFFFreeDirectory(dest);
    TIFFCreateDirectory(dest);
    return written && PointToExif(dest, exifOffset);
}

bool CTiffMetadata::Empty() const {
    return m_imageTags.empty() && m_exifTags.empty();
}

uint64_t CTiffMetadata::Bytes() const {
    uint64_t bytes = 0;
    for (const auto* tags : {&m_imageTags, &m_exifTags})
        for (const STagValue& value : *tags)
            bytes += value.bytes.size() + 20;
    return bytes;
}
