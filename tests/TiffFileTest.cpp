// TIFF files as a conversion reads and writes them: rows in order from the layouts it takes,
// destinations behind a temporary name until committed, and the tags a copy keeps.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <numeric>

#include "Support.h"
#include "TiffImage.h"
#include "TiffMetadata.h"
#include "TiffRawIfd.h"
#include "TiffWriter.h"

using T = ts::Tiff;

TEST(TiffFile, ReadsEveryRowOfTheLayoutsItTakes) {
    ts::Scratch s;
    // Whether the file opens (1), whether its rows can be read (subsampled colours have rows of
    // another size), its model, and how it differs from 8 x 4 RGB in strips of one row.
    // clang-format off
    std::vector<std::tuple<bool, bool, TiffColorModel, std::function<void(T&)>>> cases = {
        {1, 1, TCM_ADDITIVE, [](T& t) { t.compression = 5, t.rowsPerStrip = 3, t.height = 7; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.compression = 8, t.xRes = 72, t.yRes = 150; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.planar = t.orientation = t.rowsPerStrip = 0; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.samples = t.bits = t.photometric = 1, t.width = 13; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.samples = t.photometric = 1, t.samplesTag = false; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.bits = 16, t.bigTiff = 1, t.pages = 2, t.resUnit = 3; }},
        {1, 1, TCM_SUBTRACTIVE, [](T& t) { t.samples = 1, t.photometric = 0, t.planar = 2; }},
        {1, 1, TCM_SUBTRACTIVE, [](T& t) { t.samples = 6, t.photometric = 5; }},
        {1, 1, TCM_LAB, [](T& t) { t.photometric = 8, t.sampleFormat = 2; }},
        {1, 1, TCM_LAB, [](T& t) { t.photometric = 9; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.samples = 4, t.extraSamples = 1; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.samples = 4, t.extraSamples = t.associatedAlpha = 1; }},
        {1, 0, TCM_SUBTRACTIVE, [](T& t) { t.photometric = 6; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.planar = 2; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.planar = 2, t.rowsPerStrip = 3, t.compression = 8, t.height = 7; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.tiled = true, t.width = 37, t.height = 21, t.compression = 5; }},
        {1, 1, TCM_SUBTRACTIVE, [](T& t) { t.tiled = true, t.planar = 2, t.photometric = 5, t.samples = 4, t.bits = 16, t.width = 17, t.height = 33; }},
        {1, 0, TCM_ADDITIVE, [](T& t) { t.tiled = true, t.samples = 1, t.bits = 1, t.width = 40; }},
        // Files larger than what is read ahead at once: strips of a row, and one strip.
        {1, 1, TCM_ADDITIVE, [](T& t) { t.width = 1000, t.height = 400; }},
        {1, 1, TCM_ADDITIVE, [](T& t) { t.width = 700, t.height = 600, t.rowsPerStrip = 0; }}};
    // clang-format on
    for (uint16_t o = 2; o <= 8; ++o)
        cases.push_back({1, 1, TCM_ADDITIVE, [o](T& t) { t.orientation = o; }});
    CTiffImage in; // one for all: nothing of a file may stay for the next
    for (const auto& [opens, readable, model, edit] : cases) {
        T t;
        edit(t);
        // Exactly a row of contiguous samples: AddressSanitizer watches.
        ts::Bytes rows, row(ts::RowBytes(t) * (t.planar == 2 ? t.samples : 1));
        ASSERT_TRUE(ts::WriteTiff(s.file("in.tif"), t));
        EXPECT_EQ(in.OpenForRead(s.file("in.tif").c_str()), opens);
        // Every row and none past the last.
        for (uint32_t y = 0; y <= t.height && in.ReadRow(row.data()); ++y)
            rows.insert(rows.end(), row.begin(), row.end());
        EXPECT_EQ(rows, readable ? ts::Interleaved(t, ts::Pattern(t)) : ts::Bytes());
        if (!opens)
            continue;
        EXPECT_EQ(std::make_tuple(in.GetRowBytes(), in.GetXResolution(), in.GetYResolution(),
                                  in.GetResolutionUnit(), in.HasConvertibleSamples(),
                                  in.GetExtraSampleCount(), in.GetOrientation(),
                                  in.GetColorModel()),
                  std::make_tuple(row.size(), t.xRes, t.yRes, t.resUnit,
                                  (t.bits == 8 || t.bits == 16) && t.sampleFormat != 2,
                                  t.extraSamples, std::max<uint16_t>(t.orientation, 1), model));
    }
}

TEST(TiffFile, WritesTheLayoutAndTagsItWasGiven) {
    ts::Scratch s;
    const ts::Bytes icc = {'i', 'c', 'c', 0, 255};
    const ts::Bytes large(1536 << 10, 'p'); // more than the writer holds back at once
    // destination space, samples, compression, resolution given and written, its unit,
    // profile (the large one in BigTIFF), BigTIFF; photometric written
    // clang-format off
    const std::tuple<icColorSpaceSignature, uint16_t, TiffCompression, float, float, uint16_t,
                     bool, bool, uint16_t> cases[] = {
        {icSigRgbData, 3, kCompressNone, 300, 300, 2, true, false, 2},
        {icSigGrayData, 1, kCompressLzw, 0, 0, 0, false, false, 1},
        {icSigCmykData, 4, kCompressDeflate, 72, 72, 3, true, true, 5},
        {icSig6colorData, 6, kCompressZstd, -1, 0, 0, false, true, 5},
        {icSigLabData, 3, kCompressNone, 0.5, 0.5, 0, true, false, 8}};
    // clang-format on
    for (const auto& [space, samples, compression, res, x, unit, embed, big, photometric] : cases) {
        TiffWriteSpec spec;
        ASSERT_TRUE(DestinationFormatFor(space, false, PixelFormat(), 8, spec.format));
        spec.width = 5, spec.height = 3, spec.xResolution = res, spec.yResolution = res / 2;
        spec.resolutionUnit = unit, spec.compression = compression;
        spec.bigTiffThreshold = big ? 0 : kBigTiffThreshold;
        const ts::Bytes& profile = big ? large : icc;
        spec.profile = embed ? profile.data() : nullptr, spec.profileSize = profile.size();
        ts::Bytes rows(25 * samples);
        std::iota(rows.begin(), rows.end(), 0);
        CTiffWriter out;
        ASSERT_TRUE(out.Create(s.file("out.tif").c_str(), spec));
        for (uint32_t y = 0; y < 5; ++y) // the two rows past the height are taken and dropped
            EXPECT_TRUE(out.WriteRow(&rows[y * 5 * samples]));
        bool ok = false;
        const T got = out.Commit() ? ts::ReadTiff(s.file("out.tif"), &ok) : T();
        EXPECT_EQ(std::make_tuple(ok, got.photometric, got.compression, got.rowsPerStrip, got.xRes,
                                  got.yRes, got.resUnit, got.icc, got.bigTiff, got.pixels),
                  std::make_tuple(true, photometric, uint16_t(compression),
                                  compression == kCompressNone ? 1u : 3u, x, x / 2, unit,
                                  embed ? profile : ts::Bytes(), big,
                                  ts::Bytes(rows.begin(), rows.begin() + 15 * samples)));
    }
}

// Rows go to a hidden file beside the final name, which keeps what it held until the commit.
// Destroyed before its commit, committed over a folder, or never begun: no file is left, and
// none changed. (Written in place, "a.tif" would have been emptied.)
TEST(TiffFile, AFileNotCommittedLeavesNothing) {
    ts::Scratch s;
    ASSERT_TRUE(ts::WriteBytes(s.file("a.tif"), {'a'}) && !s.mkdir("d.tif").empty());
    const ts::Snapshot before = ts::Snap(s.path());
    for (const char* name : {"a.tif", "d.tif", "no/such.tif"}) {
        TiffWriteSpec spec;
        spec.width = 8, spec.height = 1;
        ASSERT_TRUE(DestinationFormatFor(icSigRgbData, false, PixelFormat(), 8, spec.format));
        CTiffWriter image;
        EXPECT_FALSE(image.Create(s.file(name).c_str(), spec) &&
                     image.WriteRow(ts::Bytes(24).data()) && name[0] == 'd' && image.Commit());
    }
    EXPECT_EQ(ts::Changes(before, ts::Snap(s.path())), "");
}

// The tags of the current directory that libtiff keeps apart from the image's layout.
static std::set<uint32_t> Tags(TIFF* tif) {
    std::set<uint32_t> tags;
    for (int i = 0; i < TIFFGetTagListCount(tif); ++i)
        tags.insert(TIFFGetTagListEntry(tif, i));
    return tags;
}

// Gives a page of a file what ts::WriteTiff does not write: XMP and an EXIF directory,
// unreadable (past the end of the file) when asked.
static void AddMetadata(const std::string& path, bool exif, bool readable, uint16_t page = 0) {
    TIFF* tif = TIFFOpen(path.c_str(), "r+");
    TIFFSetDirectory(tif, page);
    uint64_t offset = 1 << 30;
    const uint16_t iso[] = {100, 400};
    if (exif && readable) {
        // Else libtiff 4.5 leaks what it held of the image's directory and its codec's state.
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFFreeDirectory(tif);
        TIFFCreateEXIFDirectory(tif);
        TIFFSetField(tif, EXIFTAG_EXPOSURETIME, 1.0 / 125);
        TIFFSetField(tif, EXIFTAG_FNUMBER, 8.0);
        TIFFSetField(tif, EXIFTAG_EXPOSUREBIASVALUE, -0.5);
        TIFFSetField(tif, EXIFTAG_ISOSPEEDRATINGS, 2, iso);
        TIFFSetField(tif, EXIFTAG_COLORSPACE, 1);
        TIFFWriteCustomDirectory(tif, &offset);
        TIFFSetDirectory(tif, page);
    }
    TIFFSetField(tif, TIFFTAG_XMLPACKET, 8, "<x:xmp/>");
    if (exif)
        TIFFSetField(tif, TIFFTAG_EXIFIFD, offset);
    TIFFRewriteDirectory(tif);
    TIFFClose(tif);
}

// The fractions of a page's EXIF directory, as numerators and denominators in turn; those
// named in `set` are first given those numbers, as a camera writes them.
using Fractions = std::map<uint16_t, std::vector<uint32_t>>;
static Fractions ExifFractions(const std::string& path, uint16_t page, const Fractions& set = {}) {
    Fractions got;
    const int fd = open(path.c_str(), set.empty() ? O_RDONLY : O_RDWR);
    RawTiffLayout layout;
    std::vector<RawTiffEntry> image, exif;
    unsigned char raw[8 * 64];
    bool found = fd >= 0 && ReadRawLayout(fd, layout);
    uint64_t directory = layout.firstDirectory;
    for (uint16_t p = 0; found && p < page; ++p)
        found = ReadRawNextDirectory(fd, layout, directory, directory);
    if (!found || !ReadRawEntries(fd, layout, directory, image))
        return close(fd), got;
    for (const RawTiffEntry& e : image)
        if (e.tag == TIFFTAG_EXIFIFD && ReadRawAt(fd, e.valueAt, raw, layout.Word()))
            ReadRawEntries(fd, layout, DecodeRaw(raw, layout.Word(), layout.bigEndian), exif);
    for (const RawTiffEntry& e : exif) {
        if ((e.type != TIFF_RATIONAL && e.type != TIFF_SRATIONAL) || e.count > 64)
            continue;
        std::vector<uint32_t>& v = got[e.tag];
        if (const auto it = set.find(e.tag); it != set.end() && it->second.size() == 2 * e.count) {
            for (size_t i = 0; i < it->second.size(); ++i)
                EncodeRaw(it->second[i], raw + 4 * i, 4, layout.bigEndian);
            WriteRawAt(fd, e.valueAt, raw, 8 * e.count);
        }
        for (uint64_t i = 0; i < 2 * e.count && ReadRawAt(fd, e.valueAt + 4 * i, raw, 4); ++i)
            v.push_back(uint32_t(DecodeRaw(raw, 4, layout.bigEndian)));
    }
    close(fd);
    return got;
}

// Descriptive tags go to the copy only when asked, and only they: what describes the source's
// colours (its profile, the EXIF colour space) would contradict the copy's pixels.
TEST(TiffMetadata, KeptOnlyWhenAsked) {
    ts::Scratch s;
    T in;
    in.text = {{TIFFTAG_ARTIST, "Ann"}, {TIFFTAG_DATETIME, "2024:05:01 10:20:30"}};
    in.icc = ts::Bytes(140, 0x22);
    ts::RunSpec run;
    run.source = s.file("in.tif"), run.dest = s.file("out.tif");
    run.sourceProfile = run.destProfile = ts::MakeProfile(s.path(), ts::Builtin::Srgb);
    // keep, EXIF, EXIF readable, BigTIFF copy, compressed copy, pages (each with its own)
    const std::tuple<bool, bool, bool, bool, bool, uint16_t> cases[] = {
        {true, true, true, false, false, 1},  {true, true, true, true, false, 1},
        {true, true, true, true, true, 1},    {true, false, false, false, true, 1},
        {true, true, false, true, false, 1},  {false, true, true, false, false, 1},
        {true, true, true, false, false, 3},  {true, true, true, true, true, 3},
        {true, false, false, false, false, 2}};
    for (const auto& [keep, exif, readable, bigOut, compress, pages] : cases) {
        in.pages = pages, in.pageNumbers = pages > 1;
        in.pageEdit = [](T& t, uint16_t p) { t.text[TIFFTAG_ARTIST] += std::to_string(p); };
        ASSERT_TRUE(ts::WriteTiff(run.source, in));
        // Fractions a float cannot carry: the copy has the very numbers.
        const Fractions exact = {{EXIFTAG_EXPOSURETIME, {1, 8000}},
                                 {EXIFTAG_FNUMBER, {4294967295u, 1}},
                                 {EXIFTAG_EXPOSUREBIASVALUE, {uint32_t(-1), 3}}};
        for (uint16_t p = 0; p < pages; ++p) {
            AddMetadata(run.source, exif, readable, p);
            ASSERT_EQ(ExifFractions(run.source, p, exact), exif && readable ? exact : Fractions());
        }
        run.setUp = [&, keep = keep, bigOut = bigOut, compress = compress](JobSpec& job) {
            job.m_bKeepMetadata = keep, job.m_nBigTiffThreshold = bigOut ? 0 : kBigTiffThreshold;
            job.m_nCompression = compress ? kCompressDeflate : kCompressNone;
        };
        ASSERT_TRUE(ts::RunJob(run).succeeded);
        for (uint16_t p = 0; p < pages; ++p) {
            SCOPED_TRACE(p);
            bool ok = false;
            const T out = ts::ReadTiff(run.dest, &ok, p);
            ASSERT_TRUE(ok && out.pages == pages && out.bigTiff == bigOut &&
                        out.icc == ts::ReadBytes(run.destProfile) &&
                        out.pageNumbers == (pages > 1));
            auto text = in.text;
            text[TIFFTAG_ARTIST] += std::to_string(p);
            EXPECT_EQ(out.text, keep ? text : decltype(text)());
            TIFF* tif = TIFFOpen(run.dest.c_str(), "r");
            TIFFSetDirectory(tif, p);
            std::set<uint32_t> tags = {TIFFTAG_ICCPROFILE, TIFFTAG_XMLPACKET, TIFFTAG_ARTIST,
                                       TIFFTAG_DATETIME, TIFFTAG_EXIFIFD};
            tags.erase(exif && readable ? 0 : TIFFTAG_EXIFIFD);
            EXPECT_EQ(Tags(tif), keep ? tags : std::set<uint32_t>{TIFFTAG_ICCPROFILE});
            uint64_t exifAt = 0;
            float exposure = 0;
            ASSERT_EQ(TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifAt) &&
                          TIFFReadEXIFDirectory(tif, exifAt),
                      keep && exif && readable);
            EXPECT_TRUE(
                !exifAt ||
                (Tags(tif) ==
                     std::set<uint32_t>({EXIFTAG_EXPOSURETIME, EXIFTAG_FNUMBER,
                                         EXIFTAG_EXPOSUREBIASVALUE, EXIFTAG_ISOSPEEDRATINGS}) &&
                 TIFFGetField(tif, EXIFTAG_EXPOSURETIME, &exposure) && exposure == 1.f / 8000));
            TIFFClose(tif);
            EXPECT_EQ(ExifFractions(run.dest, p), keep && exif && readable ? exact : Fractions());
        }
    }
}

// A source rewritten in place by another program after it was opened and checked: what it now
// says is never decoded into rows sized for what it said. Reading its metadata opens it
// afresh, so that is where the change shows; rows and metadata are then refused.
TEST(TiffFile, ASourceChangedAfterItsCheckIsNotRead) {
    ts::Scratch s;
    const std::string path = s.file("in.tif");
    // what the file becomes (none: the same layout, other pixels)
    const std::vector<std::pair<const char*, std::function<void(T&)>>> cases = {
        {"same layout", nullptr},
        {"wider", [](T& t) { t.width = 400000; }},
        {"narrower", [](T& t) { t.width = 3; }},
        {"taller", [](T& t) { t.height = 40; }},
        {"grey", [](T& t) { t.samples = 1, t.photometric = 1; }},
        {"compressed", [](T& t) { t.compression = 8; }},
        {"not a TIFF", [](T& t) { t.width = 0; }}};
    for (const auto& [label, edit] : cases) {
        SCOPED_TRACE(label);
        ASSERT_TRUE(ts::WriteTiff(path, {}));
        AddMetadata(path, true, true);
        CTiffImage in;
        ASSERT_TRUE(in.OpenForRead(path.c_str()));
        T now;
        now.pixels = ts::Pattern(now, 7);
        if (edit)
            edit(now), now.pixels.clear();
        // Written over in place: the file the image has open, not a new one in its place.
        ASSERT_TRUE(now.width ? ts::WriteTiff(path, now) : ts::WriteBytes(path, {'n', 'o'}));
        if (now.width)
            AddMetadata(path, true, true);
        CTiffMetadata metadata;
        ts::Bytes row(in.GetRowBytes()); // exactly a row: AddressSanitizer watches
        EXPECT_EQ(in.ReadMetadata(metadata), !edit);
        EXPECT_EQ(in.ReadRow(row.data()), !edit);
        EXPECT_EQ(row,
                  !edit ? ts::Bytes(now.pixels.begin(), now.pixels.begin() + 24) : ts::Bytes(24));
    }
}

// libtiff reads a directory's every tag whole as the file opens: a tag larger than the cap
// refuses the file, whatever it is.
TEST(TiffFile, ATagLargerThanTheCapRefusesTheFile) {
    ts::Scratch s;
    const uint64_t MiB = 1 << 20;
    // the cap, the XMP packet's size, whether the file opens
    const std::tuple<uint64_t, uint64_t, bool> cases[] = {
        {MiB, MiB / 2, true}, {MiB, 2 * MiB, false}, {kDefaultMaxTiffAllocation, 2 * MiB, true}};
    for (const auto& [cap, size, opens] : cases) {
        T t;
        t.xmp.assign(size, ' ');
        ASSERT_TRUE(ts::WriteTiff(s.file("in.tif"), t));
        CTiffImage in;
        in.SetAllocationLimit(cap);
        EXPECT_EQ(in.OpenForRead(s.file("in.tif").c_str()), opens) << size;
    }
}

// A directory read as the file holds it: each entry's value is in the entry when its count of
// values of its type fits the entry's last word, else where that word points. Every field
// type, in both byte orders and in BigTIFF; a type the reader does not know is never taken
// to be in the entry.
TEST(TiffFile, RawEntriesSayWhereEachValueIs) {
    // type, count, in a classic entry, in a BigTIFF entry
    const std::tuple<uint16_t, uint64_t, bool, bool> kinds[] = {
        {1, 4, 1, 1},  {1, 5, 0, 1},  {2, 4, 1, 1},  {2, 9, 0, 0},  {3, 2, 1, 1},
        {3, 3, 0, 1},  {4, 1, 1, 1},  {4, 2, 0, 1},  {5, 1, 0, 1},  {6, 4, 1, 1},
        {7, 5, 0, 1},  {8, 2, 1, 1},  {9, 1, 1, 1},  {10, 1, 0, 1}, {11, 1, 1, 1},
        {12, 1, 0, 1}, {13, 1, 1, 1}, {14, 1, 0, 0}, {15, 1, 0, 0}, {16, 1, 0, 1},
        {17, 1, 0, 1}, {18, 1, 0, 1}, {18, 2, 0, 0}, {19, 1, 0, 0}, {99, 0, 0, 0}};
    ts::Scratch s;
    for (const bool big : {false, true})
        for (const bool bigEndian : {false, true}) {
            const RawTiffLayout want{bigEndian, big, big ? 16u : 8u};
            const int word = want.Word(), countSize = big ? 8 : 2, entrySize = 4 + 2 * word;
            std::vector<unsigned char> file(want.firstDirectory + countSize +
                                            std::size(kinds) * entrySize);
            file[0] = file[1] = bigEndian ? 'M' : 'I';
            EncodeRaw(big ? 43 : 42, &file[2], 2, bigEndian);
            EncodeRaw(want.firstDirectory, &file[big ? 8 : 4], word, bigEndian);
            EncodeRaw(std::size(kinds), &file[want.firstDirectory], countSize, bigEndian);
            std::vector<uint64_t> expected;
            for (size_t i = 0; i < std::size(kinds); ++i) {
                const auto& [type, count, inClassic, inBig] = kinds[i];
                unsigned char* e = &file[want.firstDirectory + countSize + i * entrySize];
                EncodeRaw(700 + i, e, 2, bigEndian);
                EncodeRaw(type, e + 2, 2, bigEndian);
                EncodeRaw(count, e + 4, word, bigEndian);
                EncodeRaw(5000 + i, e + 4 + word, word, bigEndian); // where a value would be
                const bool in = big ? inBig : inClassic;
                expected.push_back(in ? uint64_t(e + 4 + word - file.data()) : 5000 + i);
            }
            ASSERT_TRUE(ts::WriteBytes(s.file("raw.tif"), file));
            const int fd = open(s.file("raw.tif").c_str(), O_RDONLY);
            RawTiffLayout got;
            std::vector<RawTiffEntry> entries;
            ASSERT_TRUE(ReadRawLayout(fd, got) &&
                        ReadRawEntries(fd, got, got.firstDirectory, entries));
            close(fd);
            EXPECT_EQ(std::make_tuple(got.bigEndian, got.big, got.firstDirectory),
                      std::make_tuple(bigEndian, big, want.firstDirectory));
            // Not a TIFF header: a byte order other than II or MM, or a version not 42 or 43.
            for (const auto& [at, byte] :
                 {std::pair(1, 'X'), std::pair(bigEndian ? 3 : 2, '\x2C')}) {
                std::vector<unsigned char> bad(file.begin(), file.begin() + 16);
                bad[size_t(at)] = static_cast<unsigned char>(byte);
                ASSERT_TRUE(ts::WriteBytes(s.file("bad.tif"), bad));
                const int badFd = open(s.file("bad.tif").c_str(), O_RDONLY);
                EXPECT_FALSE(ReadRawLayout(badFd, got)) << at;
                close(badFd);
            }
            ASSERT_EQ(entries.size(), std::size(kinds));
            for (size_t i = 0; i < entries.size(); ++i)
                EXPECT_EQ(std::make_tuple(entries[i].tag, entries[i].type, entries[i].count,
                                          entries[i].valueAt),
                          std::make_tuple(uint16_t(700 + i), std::get<0>(kinds[i]),
                                          std::get<1>(kinds[i]), expected[i]))
                    << big << bigEndian << " entry " << i;
        }
}
