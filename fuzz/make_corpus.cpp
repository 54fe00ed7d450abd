// Writes the seeds of the fuzz targets: make_corpus OUT fills OUT/tiff_reader and OUT/conversion
// with TIFF files of the layouts the tests write, each also cut short, and OUT/icc_profile with
// profiles of every kind the tests make (scripts/fuzz.sh adds Debian's). Seeds of the same names
// are replaced; other files (inputs the fuzzer found) stay.
#include <filesystem>

#include "Support.h"

namespace fs = std::filesystem;
using T = ts::Tiff;

int main(int argc, char** argv) {
    if (argc != 2)
        return fprintf(stderr, "usage: make_corpus OUTPUT-FOLDER\n"), 2;
    const std::string out = argv[1], icc = out + "/icc_profile/";
    std::error_code ec;
    for (const char* target : {"/tiff_reader", "/conversion", "/icc_profile"})
        fs::create_directories(out + target, ec);
    // Heights of 4n + 1 take the conversion's row pipeline.
    // clang-format off
    const std::function<void(T&)> layouts[] = {
        [](T&) {}, [](T& t) { t.height = 5, t.rowsPerStrip = 2; }, [](T& t) { t.orientation = 3; },
        [](T& t) { t.compression = 5, t.rowsPerStrip = 3, t.xRes = 300, t.resUnit = 2; },
        [](T& t) { t.compression = 8, t.rowsPerStrip = 0, t.icc = ts::Bytes(132, 1); },
        [](T& t) { t.compression = 32773, t.bigTiff = true; }, [](T& t) { t.photometric = 8; },
        [](T& t) { t.photometric = 0; }, [](T& t) { t.samples = t.photometric = t.bits = 1; },
        [](T& t) { t.samples = 4, t.extraSamples = 1; }, [](T& t) { t.planar = 2, t.pages = 2; },
        [](T& t) { t.bits = 16, t.tiled = true; }, [](T& t) { t.photometric = 5, t.samples = 3; },
        [](T& t) { t.photometric = 5, t.samples = 4, t.height = 5; },
        [](T& t) { t.photometric = 5, t.samples = 5, t.extraSamples = 1, t.inkSet = 2; },
        [](T& t) { t.photometric = 5, t.samples = 6, t.height = 9; },
        [](T& t) { t.photometric = 6, t.width = 13, t.text = {{270, "a description"}}; },
        // Tiles, separate planes, JPEG YCbCr, rotation and extra channels of every kind.
        [](T& t) { t.photometric = 6, t.compression = 7, t.width = 24, t.height = 16, t.rowsPerStrip = 16; },
        [](T& t) { t.photometric = 6, t.compression = 7, t.tiled = true, t.width = 20, t.height = 17; },
        [](T& t) { t.tiled = true, t.planar = 2, t.compression = 8, t.width = 20, t.height = 17; },
        [](T& t) { t.planar = 2, t.rowsPerStrip = 3, t.compression = 5, t.height = 5, t.orientation = 8; },
        [](T& t) { t.samples = 4, t.extraSamples = 1, t.associatedAlpha = true, t.height = 5; },
        [](T& t) { t.samples = 5, t.extraSamples = 2, t.extraKinds = {1, 0}, t.bits = 16; },
        [](T& t) { t.samples = 2, t.photometric = 1, t.extraSamples = 1, t.tiled = true; },
        // 16 bits in both byte orders, and files of several images of their own layouts.
        [](T& t) { t.bits = 16, t.bigEndian = true, t.height = 5; },
        [](T& t) { t.bits = 16, t.samples = 4, t.extraSamples = 1, t.compression = 8; },
        [](T& t) { t.bits = 16, t.photometric = 8, t.bigEndian = true; },
        [](T& t) { t.bits = 16, t.photometric = 9, t.height = 5; },
        [](T& t) { t.bits = 16, t.photometric = 5, t.samples = 4; },
        [](T& t) {
            t.pages = 3, t.pageNumbers = true;
            t.pageEdit = [](T& p, uint16_t page) {
                p.bits = page == 1 ? 16 : 8, p.width = page == 2 ? 4 : 8;
                p.newSubfileType = page == 2 ? 1 : 0;
            };
        },
        [](T& t) {
            t.pages = 2;
            t.pageEdit = [](T& p, uint16_t page) { p.samples = page ? 1 : 3, p.photometric = page ? 1 : 2; };
        }};
    // clang-format on
    int seeds = 0;
    for (size_t i = 0; i < std::size(layouts); ++i) {
        T t;
        layouts[i](t);
        for (const char* target : {"/tiff_reader/", "/conversion/"}) {
            const std::string path = out + target + std::to_string(i);
            const ts::Bytes whole =
                ts::WriteTiff(path + ".tif", t) ? ts::ReadBytes(path + ".tif") : ts::Bytes();
            // The same file cut in its pixels, which lose their directory at the end.
            seeds += ts::WriteBytes(path + "-cut.tif",
                                    ts::Bytes(whole.begin(), whole.begin() + whole.size() / 2)) &&
                     !whole.empty();
        }
    }
    for (int kind = 0; kind <= int(ts::Builtin::DeviceLink); ++kind)
        seeds += !ts::MakeProfile(icc, ts::Builtin(kind)).empty();
    for (int inks = 3; inks <= 8; ++inks)
        seeds += !ts::MakeProfile(icc, ts::InkTables(inks), std::to_string(inks) + ".icc").empty();
    printf("make_corpus: %d seeds in %s\n", seeds, out.c_str());
    return seeds > 0 ? 0 : 1;
}
