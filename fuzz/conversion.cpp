// Fuzz target: any bytes as the source TIFF of one image conversion with
// real profiles, written to a scratch destination. The profile pair follows
// the layout the file claims, so most inputs get past the checks into the
// rows; the outcome must agree with what the user was told.

#include <cstdint>
#include <string>
#include <vector>

#include "ConversionJob.h"
#include "FuzzProfiles.h"
#include "FuzzSupport.h"
#include "ImageConversion.h"
#include "TiffImage.h"

namespace {

// Every pixel goes through the colour transform; this many keep one input
// well inside the fuzzer's time limit even under the sanitizers.
constexpr uint64_t kMaxPixels = 1ull << 18;
constexpr uint64_t kMaxImageBytes = 16ull << 20;

constexpr uint16_t kPhotometricMinIsBlack = 1;
constexpr uint16_t kPhotometricRgb = 2;
constexpr uint16_t kPhotometricSeparated = 5;
constexpr uint16_t kPhotometricCieLab = 8;

struct QuietHooks : IImageHooks {
    std::vector<std::string> messages;
    uint32_t rows = 0;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void AdvanceProgress() override { ++rows; }
    void EndOfImagePauseCheck() override {}
};

struct Pair {
    const std::string* source;
    const std::string* dest;
};

// A pair the file's layout agrees with, varied by its size so that every
// destination kind (device, Lab, XYZ) is reached.
Pair ChoosePair(const fuzz::TiffShape& shape, const fuzz::ProfileSet& p) {
    const bool alt = ((shape.width + shape.height) & 1) != 0;
    switch (shape.photometric) {
    case kPhotometricMinIsBlack:
    case kPhotometricRgb:
        return alt ? Pair{&p.srgb, &p.xyz} : Pair{&p.srgb, &p.cmyk};
    case kPhotometricCieLab:
        return alt ? Pair{&p.xyz, &p.smallCmyk} : Pair{&p.lab, &p.srgb};
    case kPhotometricSeparated:
        if (shape.samples == 5)
            return {&p.ink5, &p.srgb};
        if (shape.samples == 6)
            return {&p.ink6, &p.lab};
        return {&p.smallCmyk, alt ? &p.lab : &p.srgb};
    default:
        return {&p.srgb, &p.cmyk};
    }
}

// A converted destination must be a whole image of the source's size.
void CheckDestination(const std::string& path, const fuzz::TiffShape& shape) {
    CTiffImage dest;
    if (!dest.OpenForRead(path.c_str()))
        fuzz::Fail("a converted destination does not open");
    if (dest.GetWidth() != shape.width || dest.GetHeight() != shape.height)
        fuzz::Fail("a converted destination has another size than its source");
    std::vector<unsigned char> row(dest.GetRowBytes());
    for (uint32_t y = 0; y < dest.GetHeight(); ++y)
        if (!dest.ReadRow(row.data()))
            fuzz::Fail("a converted destination lacks rows");
}

void CheckOutcome(ImageOutcome outcome, const QuietHooks& hooks, const std::string& message,
                  const fuzz::TiffShape& shape, const std::string& destPath) {
    switch (outcome) {
    case ImageOutcome::FailedBeforeRows:
        if (hooks.messages.size() != 1 || hooks.rows != 0)
            fuzz::Fail("a refused image did not show exactly one message");
        return;
    case ImageOutcome::StoppedInRows:
        // Nobody cancels here, so a stop is a failure with words for it.
        if (!hooks.messages.empty() || message.empty())
            fuzz::Fail("an image stopped in its rows without its message");
        return;
    case ImageOutcome::Converted:
        if (!hooks.messages.empty() || !message.empty() || hooks.rows != shape.height)
            fuzz::Fail("a converted image showed a message or missed rows");
        CheckDestination(destPath, shape);
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InitOnce();
    static fuzz::ScratchFile input(".tif");
    static fuzz::ScratchFile output(".tif");
    const fuzz::ProfileSet& profiles = fuzz::Profiles();
    if (!input.Write(data, size))
        return 0;
    const fuzz::TiffShape shape = fuzz::ProbeTiff(input.path());
    // Over the budget, the file still goes through opening and the size
    // checks, and a row limit of nothing stops it before its rows.
    const bool withinBudget = fuzz::WithinBudget(shape, kMaxImageBytes, kMaxPixels);

    const Pair pair = ChoosePair(shape, profiles);
    CConversionJob job;
    job.SetJob(input.path(), *pair.source, *pair.dest, output.path(), int(shape.width % 4), false);
    // Both ways through the rows: the pixel loop, and for one height in four
    // the row pipeline with one worker. Each worker takes a 4 MB colour cache
    // per image, whatever its size, and touching that memory costs more than
    // all the rest of a small input.
    job.m_nThreads = 1;
    job.m_bPlainPixelPath = shape.height % 4 != 1;
    if (!withinBudget)
        job.m_nMaxRowBytes = 0;

    CTiffImage source, dest;
    QuietHooks hooks;
    // Embedding hands the conversion the destination profile's bytes, which
    // it then builds its transform from, as a run does.
    const bool embed = (shape.width & 2) != 0;
    const std::vector<unsigned char>& destBytes = fuzz::ProfileBytes(*pair.dest);
    const ImageResources res{
        source, dest, embed ? destBytes.data() : nullptr, uint32_t(destBytes.size()), false, hooks};
    const ImageResult result = ConvertImage(job, res, input.path(), output.path());
    CheckOutcome(result.outcome, hooks, result.message, shape, output.path());
    return 0;
}
