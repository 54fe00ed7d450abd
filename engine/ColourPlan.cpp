#include "ColourPlan.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "ColourCache.h"
#include "ConversionJob.h"
#include "PixelCodec.h"

namespace {

// Below this many pixels an image is converted without the fast evaluator
// and the shared tables: their set-up (10 to 30 ms for the evaluator's
// tables, and a page fault for nearly every new colour of a noisy image)
// costs more than it saves. Measured: at 512 x 256 pixels the fast set-up
// was as fast on a photo and slower on noise (0.08 s against 0.06 s), at
// 512 x 512 faster on a photo (0.05 s against 0.07 s) and as fast on noise.
constexpr uint64_t kFastSetupPixels = uint64_t(1) << 18;

ColourTable TableFor(const PixelLayout& layout, uint64_t pixels) {
    const int ns = layout.source.PixelBytes(), nd = layout.dest.PixelBytes();
    // Keys are a pixel's bytes with a bit to spare, values a word.
    if (ns > 7 || nd > 8)
        return ColourTable::None;
    if (pixels < kFastSetupPixels)
        return ColourTable::WorkerCache;
    // The dense table serves 3-byte sources whose results fit its entries.
    if (ns == 3 && nd <= 4)
        return ColourTable::Dense;
    if (CPackedColourCache::Fits(ns, nd))
        return ColourTable::Packed;
    return ColourTable::WorkerCache;
}

} // namespace

std::string ColourPlan::Describe() const {
    if (PerPixel())
        return "per pixel";
    static const char* const kTables[] = {"no table", "worker caches", "dense table",
                                          "packed table"};
    std::string text =
        std::to_string(workers) + (workers == 1 ? " worker, " : " workers, ") + kTables[int(table)];
    if (evaluator)
        text += evaluatorBytes ? ", evaluator with bytes" : ", evaluator";
    return text;
}

ColourPlan ChooseColourPlan(const JobSpec& job, const PixelLayout& layout, uint32_t width,
                            uint32_t height, uint64_t sourceRowBytes, uint64_t destRowBytes) {
    ColourPlan plan;
    if (job.m_bPlainPixelPath)
        return plan;
    plan.workers = PipelineWorkersFor(ConversionThreadCount(job.m_nThreads), sourceRowBytes,
                                      destRowBytes, width);
    if (plan.workers == 0)
        return plan;
    const uint64_t pixels = uint64_t(width) * height;
    plan.table = TableFor(layout, pixels);
    // With a shared table the workers' own caches stay unused.
    plan.cacheBits = plan.table == ColourTable::WorkerCache ? CacheBitsFor(pixels) : 1;
    plan.evaluator = pixels >= kFastSetupPixels;
    return plan;
}

unsigned CacheBitsFor(uint64_t pixels) {
    unsigned bits = 10;
    while (bits < CColourCache::kDefaultBits && (uint64_t(1) << bits) < 2 * pixels)
        ++bits;
    return bits;
}

unsigned ConversionThreadCount(unsigned setting) {
    if (setting > 0)
        return setting;
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 8u);
}

unsigned PipelineWorkersFor(unsigned wanted, uint64_t sourceRowBytes, uint64_t destRowBytes,
                            uint32_t width) {
    // Memory for the fast way stays within a fixed budget whatever rows a
    // file claims; a wider image gets fewer workers, a huge one none.
    constexpr uint64_t kBudget = uint64_t(96) << 20;
    const uint64_t perWorker =
        uint64_t(kRowsPerWorker) * RowsPerBatch(width) * (uint64_t(sourceRowBytes) + destRowBytes) +
        uint64_t(width) * sizeof(std::pair<uint32_t, uint32_t>) +
        CColourCache::BytesFor(CColourCache::kDefaultBits);
    return static_cast<unsigned>(std::min<uint64_t>(wanted, kBudget / perWorker));
}
