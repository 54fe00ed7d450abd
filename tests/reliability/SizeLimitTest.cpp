// Sizes that come from a file: rows over the limit refused before anything is
// allocated, a few bytes claiming huge rows costing nothing, outputs past
// classic TIFF's 4 GiB written as BigTIFF, and compressed strips decoded a row
// at a time.
#include <gtest/gtest.h>
#include <malloc.h>

#include "CraftedFiles.h"
#include "Scene.h"
#include "TiffFixtures.h"
#include "TiffImage.h"

using namespace rel;


// A 100-pixel RGB row is 300 bytes in and 400 out (CMYK): the limit applies
// to both, and is checked before the destination exists.
TEST(SizeLimit, RowsOverTheLimitAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        uint64_t limit;
        bool folder;
        std::vector<std::string> messages;
        std::vector<std::string> outputs; // besides the scene's earlier work
    };
    const std::string screened = "Error: Source image wide.tif is too large.";
    const std::string converting = "Error: Source image is too large.";
    const Case cases[] = {
        {299, false, {screened}, {}},   {299, true, {screened}, {"zz-good.tif"}},
        {399, false, {converting}, {}}, {399, true, {converting}, {}},
        {400, false, {}, {"wide.tif"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.limit) + (c.folder ? " folder" : " single"));
        Scene scene;
        ASSERT_TRUE(fx::WriteTiff(scene.in() + "/wide.tif", fx::RgbSpec(100, 2)));
        RunSpec spec = c.folder ? scene.Folder()
                                : scene.Single(scene.in() + "/wide.tif", scene.out() + "/wide.tif");
        spec.maxRowBytes = c.limit;
        const RunRecord got = RunJob(spec);
        EXPECT_EQ(got.messages, c.messages);
        std::vector<std::string> outputs = {"keep.tif", "notes.txt"};
        outputs.insert(outputs.end(), c.outputs.begin(), c.outputs.end());
        std::sort(outputs.begin(), outputs.end());
        EXPECT_EQ(fx::ListFolder(scene.out()), outputs);
    }
}

// A few hundred bytes whose one row claims hundreds of megabytes or more: under
// the limit the row buffers cost nothing until a row is really read; over it
// (3 GiB, whose destination row once wrapped around 32 bits to 4 bytes) the
// file is refused at once. The child's memory is capped at 1 GiB so that a
// regression cannot hurt the machine.
TEST(SizeLimit, FilesClaimingHugeRowsCostNoMoreMemoryThanTheirBytes) {
    struct Case {
        uint32_t width;
        std::string message;
    };
    const Case cases[] = {
        {70000000, "Error: Source image must be 8-bit and only have standard layers."},
        {1073741825, "Error: Source image wide.tif is too large."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Scene scene;
        const std::string source = scene.in() + "/wide.tif";
        ASSERT_TRUE(fx::WriteFileBytes(
            source, CraftRgbTiff({c.width, 1, 1, 1, 64}, std::vector<unsigned char>(64, 128))));
        const ChildOutcome child = RunJobInChild(scene.Single(source, scene.out() + "/wide.tif"),
                                                 RLIM_INFINITY, rlim_t(1) << 30);
        ASSERT_TRUE(child.exitedNormally) << "wait status " << child.status;
        EXPECT_EQ(child.record.messages, std::vector<std::string>{c.message});
        EXPECT_LT(child.maxRssKb, 100 * 1024);
        EXPECT_EQ(fx::ListFolder(scene.out()), (std::vector<std::string>{"keep.tif", "notes.txt"}));
    }
}

// Past the threshold the destination is BigTIFF, with the same pixels.
TEST(SizeLimit, LargeDestinationsAreWrittenAsBigTiff) {
    Scene scene;
    const std::string source = scene.in() + "/zz-good.tif";
    for (const uint64_t threshold : {kBigTiffThreshold, uint64_t(4096)}) {
        SCOPED_TRACE(threshold);
        RunSpec spec = scene.Single(source, scene.out() + "/big.tif");
        spec.bigTiffThreshold = threshold;
        EXPECT_TRUE(RunJob(spec).succeeded);
        const std::vector<unsigned char> bytes = fx::ReadFileBytes(scene.out() + "/big.tif");
        ASSERT_GT(bytes.size(), 4u);
        EXPECT_EQ(bytes[2], threshold == kBigTiffThreshold ? 42 : 43);
        EXPECT_EQ(fx::ReadTiff(scene.out() + "/big.tif").pixels, ReferencePixels());
    }
}

// One Deflate strip of a few kilobytes holding a 2000 x 2000 image (12 MB
// decoded): reading a row must not decode the whole strip into memory.
TEST(SizeLimit, ACompressedStripIsDecodedOneRowAtATime) {
    if (kAddressSanitizer)
        GTEST_SKIP() << "the sanitizer's allocator hides the heap's figures";
    fx::TempDir dir;
    fx::TiffSpec spec = fx::RgbSpec(2000, 2000);
    spec.rowsPerStrip = 0;
    spec.compression = fx::kCompressionDeflate;
    spec.pixels.resize(fx::ImageBytes(spec));
    for (size_t i = 0; i < spec.pixels.size(); ++i)
        spec.pixels[i] = static_cast<unsigned char>(i / 6000);
    ASSERT_TRUE(fx::WriteTiff(dir.file("strip.tif"), spec));
    const auto heapBytes = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const size_t before = heapBytes();
    CTiffImage image;
    ASSERT_TRUE(image.OpenForRead(dir.file("strip.tif").c_str()));
    std::vector<unsigned char> row(image.GetRowBytes());
    ASSERT_TRUE(image.ReadRow(row.data()));
    ASSERT_TRUE(image.ReadRow(row.data()));
    EXPECT_LT(heapBytes() - before, size_t(2) << 20);
    EXPECT_TRUE(std::equal(row.begin(), row.end(), spec.pixels.begin() + long(row.size())));
}
