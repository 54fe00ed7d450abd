// Fuzz target: any bytes as the source TIFF of a whole run on one image, with profiles its
// layout calls for, so that most inputs get past the checks into the rows. What the run did
// must agree with what it said: an image that failed said why in exactly one message and left
// no destination; one converted said nothing and left a whole image of the source's size.
#include "Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // sRGB, Lab v4, Lab v2, XYZ and grey, then 3 to 6 inks.
    static const ts::Scratch dir;
    static const std::vector<std::string> p = [] {
        std::vector<std::string> made;
        for (int k = 0; k < 9; ++k)
            made.push_back(k < 5 ? ts::MakeProfile(dir.path(), ts::Builtin(k))
                                 : ts::MakeProfile(dir.path(), ts::InkTables(k - 2),
                                                   std::to_string(k) + ".icc"));
        return made;
    }();
    ts::RunSpec run;
    run.source = fuzz::AsFile(data, size, "in.tif");
    run.dest = dir.file("out.tif");
    remove(run.dest.c_str());
    CTiffImage image;
    image.OpenForRead(run.source.c_str());
    const uint32_t w = image.GetWidth(), h = image.GetHeight(), kind = image.GetPhotometric();
    const int colours = image.GetSamplesPerPixel() - image.GetExtraSampleCount();
    run.sourceProfile = p[kind == 8                                   ? 1
                          : kind == 5 && colours >= 3 && colours <= 6 ? colours + 2
                          : colours == 1                              ? 4
                                                                      : 0];
    // The destination (device, Lab or XYZ), the intent, the embedded profile, the way through
    // the rows (pixel by pixel, or the row pipeline for one height in four) and whether the
    // metadata is kept vary with the size.
    run.destProfile = p[std::vector<int>{0, 6, 1, 3, 8}[(w + h) % 5]];
    run.intent = int(w % 4), run.embed = (w & 2) != 0;
    // Every pixel goes through the colour transform: this many keep an input well inside the
    // fuzzer's time limit; larger images are refused from their tags, before any row.
    const bool within = fuzz::Within(run.source, 16u << 20, 1u << 18);
    run.setUp = [&](JobSpec& job) {
        job.m_nThreads = 1, job.m_bPlainPixelPath = h % 4 != 1;
        job.m_bKeepMetadata = (w + h) % 2 == 0; // tags and EXIF read and written again
        job.m_nMaxRowBytes = within ? job.m_nMaxRowBytes : 0;
    };
    const ts::RunRecord record = ts::RunJob(run);
    if (record.messages.size() != (record.succeeded ? 0u : 1u))
        fuzz::Fail("a failed image did not say why in one message, or a converted one spoke");
    bool whole = false;
    const ts::Tiff out = ts::ReadTiff(run.dest, &whole);
    if (record.succeeded ? !whole || out.width != w || out.height != h : ts::Exists(run.dest))
        fuzz::Fail("a converted image is not whole, or a failed one left a destination");
    return 0;
}
