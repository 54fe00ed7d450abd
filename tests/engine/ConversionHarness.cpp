#include "ConversionHarness.h"

#include <tiffio.h>

#include "ProfileFixtures.h"

TestProfiles::TestProfiles()
    : srgb(fx::MakeSrgbProfile(dir.path())), lab(fx::MakeLabProfile(dir.path())),
      xyz(fx::MakeXyzProfile(dir.path())), gray(fx::MakeGrayProfile(dir.path())),
      cmy(fx::MakeCmyProfile(dir.path())), cmyk(fx::MakeCmykProfile(dir.path())),
      ink5(fx::MakeInkProfile(dir.path(), 5)), ink6(fx::MakeInkProfile(dir.path(), 6)),
      ink7(fx::MakeInkProfile(dir.path(), 7)) {}

TestProfiles& P() {
    static TestProfiles profiles;
    return profiles;
}

std::vector<unsigned char> WrittenRows(const std::string& path) {
    std::vector<unsigned char> rows;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif)
        return rows;
    uint64_t* counts = nullptr;
    if (TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts)) {
        const tmsize_t size = TIFFStripSize(tif);
        std::vector<unsigned char> strip(static_cast<size_t>(size));
        for (uint32_t s = 0; s < TIFFNumberOfStrips(tif) && counts[s] != 0; ++s) {
            if (TIFFReadEncodedStrip(tif, s, strip.data(), size) != size)
                break;
            rows.insert(rows.end(), strip.begin(), strip.end());
        }
    }
    TIFFClose(tif);
    return rows;
}
