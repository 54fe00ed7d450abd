#include "TiffMetadata.h"

#include <tiffio.h>

#include <cstring>

#include "TiffFileIo.h"
#include "TiffRawIfd.h"

namespace {

using STagValue = CTiffMetadata::STagValue;

// More values than any EXIF rational tag has; longer ones keep libtiff's.
constexpr uint64_t kMaxExactRationals = 64;

// Tags of the image's own directory that describe the picture, not its colours.
constexpr uint32_t kKeptImageTags[] = {
    TIFFTAG_XMLPACKET,
    TIFFTAG_RICHTIFFIPTC,
    TIFFTAG_DATETIME,
    TIFFTAG_ARTIST,
    TIFFTAG_COPYRIGHT,
    TIFFTAG_IMAGEDESCRIPTION,
    TIFFTAG_SOFTWARE,
    // Where a GeoTIFF lies on the map, and GDAL's metadata and nodata value:
    // libtiff reads them as tags it does not know.
    33550,
    33922,
    34264,
    34735,
    34736,
    34737,
    42112,
    42113,
};

// The names the tags libtiff does not know are declared under on a
// destination.
const char* NameOfUnknownTag(uint32_t tag) {
    switch (tag) {
    case 33550:
        return "ModelPixelScaleTag";
    case 33922:
        return "ModelTiepointTag";
    case 34264:
        return "ModelTransformationTag";
    case 34735:
        return "GeoKeyDirectoryTag";
    case 34736:
        return "GeoDoubleParamsTag";
    case 34737:
        return "GeoAsciiParamsTag";
    case 42112:
        return "GDALMetadata";
    default:
        return "GDALNoDataValue";
    }
}

// A kept tag the destination's libtiff does not know is declared as the
// source file stored it: any count of values of its type.
void Declare(TIFF* dest, const STagValue& value) {
    if (TIFFFindField(dest, value.tag, TIFF_ANY))
        return;
    TIFFFieldInfo info = {value.tag,
                          TIFF_VARIABLE2,
                          TIFF_VARIABLE2,
                          TIFFDataType(value.type),
                          FIELD_CUSTOM,
                          1,
                          1,
                          const_cast<char*>(NameOfUnknownTag(value.tag))};
    TIFFMergeFieldInfo(dest, &info, 1);
}

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
    value.type = uint16_t(TIFFFieldDataType(field));
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

// The image's directory, the file's first, went out with a zero EXIF offset.
// Only that entry's value is replaced, in the file: writing the directory again
// through the library would not do, as a directory read back may hold tags
// the written one did not (a default planar configuration, say) and grow over
// what follows it.
bool PointToExif(int fd, const RawTiffLayout& layout, uint32_t index, uint64_t exifOffset) {
    std::vector<RawTiffEntry> entries;
    uint64_t directory = layout.firstDirectory;
    for (uint32_t i = 0; i < index; ++i)
        if (!ReadRawNextDirectory(fd, layout, directory, directory))
            return false;
    if (!ReadRawEntries(fd, layout, directory, entries))
        return false;
    for (const RawTiffEntry& e : entries) {
        if (e.tag != TIFFTAG_EXIFIFD)
            continue;
        const int size = e.type == TIFF_LONG || e.type == TIFF_IFD     ? 4
                         : e.type == TIFF_LONG8 || e.type == TIFF_IFD8 ? 8
                                                                       : 0;
        if (size == 0 || size > layout.Word() || e.count != 1 ||
            (size == 4 && exifOffset > 0xFFFFFFFFu))
            return false;
        unsigned char value[8];
        EncodeRaw(exifOffset, value, size, layout.bigEndian);
        return WriteRawAt(fd, e.valueAt, value, uint64_t(size));
    }
    return false;
}

bool IsRational(uint16_t type) {
    return type == TIFF_RATIONAL || type == TIFF_SRATIONAL;
}

// libtiff hands rationals out as floats or doubles and writes them back as
// fractions of its own (1/8000 becomes 376336/3010687857): the numerators
// and denominators are taken from the file as it holds them, when it holds
// them in the type the tag is written in (a signed fraction in a tag of
// unsigned ones would change its sign).
void ReadExactRationals(TIFF* tif, uint64_t directory, std::vector<STagValue>& values) {
    const int fd = TIFFFileno(tif);
    RawTiffLayout layout;
    std::vector<RawTiffEntry> entries;
    if (!ReadRawLayout(fd, layout) || !ReadRawEntries(fd, layout, directory, entries))
        return;
    for (const RawTiffEntry& e : entries) {
        const TIFFField* field = TIFFFieldWithTag(tif, e.tag);
        if (!IsRational(e.type) || e.count == 0 || e.count > kMaxExactRationals || !field ||
            TIFFFieldDataType(field) != e.type)
            continue;
        for (STagValue& value : values) {
            if (value.tag != e.tag || value.count != e.count)
                continue;
            std::vector<unsigned char> raw(e.count * 8);
            if (!ReadRawAt(fd, e.valueAt, raw.data(), raw.size()))
                break;
            value.exact.resize(e.count * 2);
            for (size_t i = 0; i < value.exact.size(); ++i)
                value.exact[i] = uint32_t(DecodeRaw(&raw[i * 4], 4, layout.bigEndian));
        }
    }
}

// Puts the exact fractions over what libtiff wrote for them, in a directory
// just written at `directory`.
bool WriteExactRationals(int fd, const RawTiffLayout& layout, uint64_t directory,
                         const std::vector<STagValue>& values) {
    std::vector<RawTiffEntry> entries;
    if (!ReadRawEntries(fd, layout, directory, entries))
        return false;
    for (const RawTiffEntry& e : entries) {
        for (const STagValue& value : values) {
            if (value.tag != e.tag || value.exact.empty() || !IsRational(e.type) ||
                value.exact.size() != e.count * 2)
                continue;
            std::vector<unsigned char> raw(value.exact.size() * 4);
            for (size_t i = 0; i < value.exact.size(); ++i)
                EncodeRaw(value.exact[i], &raw[i * 4], 4, layout.bigEndian);
            if (!WriteRawAt(fd, e.valueAt, raw.data(), raw.size()))
                return false;
        }
    }
    return true;
}

} // namespace

bool CTiffMetadata::Read(TIFF* source, TIFF* exifReader) {
    m_imageTags.clear();
    m_exifTags.clear();
    for (uint32_t tag : kKeptImageTags) {
        STagValue value;
        const TIFFField* field = TIFFFindField(source, tag, TIFF_ANY);
        if (field && GetValue(source, field, value))
            m_imageTags.push_back(std::move(value));
    }
    // Where the EXIF directory is, as the file now says: the second handle
    // has just read its first directory, which still describes the image.
    uint64_t exifOffset = 0;
    if (!TIFFGetField(exifReader ? exifReader : source, TIFFTAG_EXIFIFD, &exifOffset))
        return true;
    return exifReader && ReadExif(exifReader, exifOffset);
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
    ReadExactRationals(source, offset, m_exifTags);
    return true;
}

void CTiffMetadata::ApplyTo(TIFF* dest) const {
    // A tag the destination refuses is one tag lost, not the others.
    for (const STagValue& value : m_imageTags) {
        Declare(dest, value);
        SetValue(dest, value);
    }
    // The EXIF directory can only be written after the image's (libtiff holds
    // one directory at a time), so the image's goes first with a zero offset
    // that Finish replaces.
    if (!m_exifTags.empty())
        TIFFSetField(dest, TIFFTAG_EXIFIFD, uint64_t(0));
}

bool CTiffMetadata::Finish(TIFF* dest, uint32_t index) const {
    if (m_exifTags.empty())
        return TIFFFlush(dest) == 1;
    return FinishDirectory(dest, index);
}

bool CTiffMetadata::FinishDirectory(TIFF* dest, uint32_t index) const {
    if (m_exifTags.empty())
        return TIFFWriteDirectory(dest) == 1;
    uint64_t exifOffset = 0;
    if (!TIFFWriteDirectory(dest) || TIFFCreateEXIFDirectory(dest) != 0)
        return false;
    const bool written = SetValues(dest, m_exifTags) && TIFFWriteCustomDirectory(dest, &exifOffset);
    // Left on the EXIF directory, the library would write it once more, as an
    // image, when the file is closed: an empty directory is left instead.
    TIFFFreeDirectory(dest);
    TIFFCreateDirectory(dest);
    const int fd = TIFFFileno(dest);
    RawTiffLayout layout;
    return written && FlushBufferedSink(dest) && ReadRawLayout(fd, layout) &&
           WriteExactRationals(fd, layout, exifOffset, m_exifTags) &&
           PointToExif(fd, layout, index, exifOffset);
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
