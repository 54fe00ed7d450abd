// Fuzz target: any bytes as a TIFF file, through all a conversion asks of the reader: opening,
// and every row in order, into a buffer of exactly the row size the reader reports, as a
// conversion allocates it (AddressSanitizer sees any byte written past it). A run reuses one
// reader for all its sources, so the file is opened twice: the second time starts again at
// the first row and ends at the last. Then every further image of the file's chain, the same way.
#include <vector>

#include "Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::AsFile(data, size, "in.tif");
    static CTiffImage image;
    if (!fuzz::Within(path, 64u << 20, 1u << 26) || !image.OpenForRead(path.c_str()))
        return 0;
    for (uint32_t pass = 0; pass < 2; ++pass) {
        std::vector<unsigned char> row(image.GetRowBytes());
        uint32_t rows = 0;
        while (rows < (pass ? image.GetHeight() : 1) && image.ReadRow(row.data()))
            ++rows;
        if (pass && rows == image.GetHeight() && image.ReadRow(row.data()))
            fuzz::Fail("a row was read past the end of the image");
        if (!pass && !image.OpenForRead(path.c_str()))
            fuzz::Fail("a file that opened once did not open again");
    }
    const uint32_t pages = image.CountPages();
    for (uint32_t p = 1; p < pages && image.OpenPage(p); ++p) {
        std::vector<unsigned char> row(image.GetRowBytes());
        uint32_t rows = 0;
        while (rows < image.GetHeight() && image.ReadRow(row.data()))
            ++rows;
        if (rows == image.GetHeight() && image.ReadRow(row.data()))
            fuzz::Fail("a row was read past the end of a page");
    }
    image.Close();
    return 0;
}
