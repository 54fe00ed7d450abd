// Fuzz target: any bytes as a TIFF file, through everything a conversion
// asks of the reader: opening, the accessors, and every row in order.

#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "TiffImage.h"

namespace {

// A file may claim any size; decoding more than this per input would only
// slow the fuzzer down without reaching new code.
constexpr uint64_t kMaxImageBytes = 64ull << 20;
constexpr uint64_t kMaxPixels = 1ull << 26;

void CheckAccessors(const CTiffImage& image) {
    if (image.GetWidth() == 0 || image.GetHeight() == 0)
        fuzz::Fail("an image without pixels was opened");
    const uint64_t rowBytes =
        (uint64_t(image.GetSamplesPerPixel()) * image.GetBitsPerSample() * image.GetWidth() + 7) /
        8;
    if (image.GetRowBytes() != rowBytes)
        fuzz::Fail("the row size disagrees with the image's layout");
    if (image.GetColorModel() != CTiffImage::ColorModelOf(image.GetPhotometric()))
        fuzz::Fail("the colour model disagrees with the photometric tag");
}

// Reads rows until the image ends or a row cannot be read; returns the count.
uint32_t ReadRows(CTiffImage& image, uint32_t limit) {
    // Exactly one row: a reader that copies more is caught by AddressSanitizer.
    std::vector<unsigned char> row(image.GetRowBytes());
    uint32_t rows = 0;
    while (rows < limit && image.ReadRow(row.data()))
        ++rows;
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    static fuzz::ScratchFile input(".tif");
    if (!input.Write(data, size))
        return 0;
    if (!fuzz::WithinBudget(fuzz::ProbeTiff(input.path()), kMaxImageBytes, kMaxPixels))
        return 0;

    CTiffImage image;
    if (!image.OpenForRead(input.path().c_str()))
        return 0;
    CheckAccessors(image);
    ReadRows(image, 1);
    // The run reuses one object for every source: opening again must start
    // from the first row with nothing left over from the last file.
    if (!image.OpenForRead(input.path().c_str()))
        fuzz::Fail("a file that opened once did not open again");
    CheckAccessors(image);
    const uint32_t height = image.GetHeight();
    if (ReadRows(image, height) == height) {
        std::vector<unsigned char> row(image.GetRowBytes());
        if (image.ReadRow(row.data()))
            fuzz::Fail("a row was read past the end of the image");
    }
    image.Close();
    return 0;
}
