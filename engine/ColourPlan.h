#pragma once
// How the colours of one image are computed, chosen once before its first
// row. Every way writes the same bytes; they differ in speed and memory.

#include <algorithm>
#include <cstdint>
#include <string>

struct JobSpec;
struct PixelLayout;

// What memory remembers the colours already converted.
enum class ColourTable : uint8_t {
    None,        // nothing remembered: every pixel converted
    WorkerCache, // a small cache of each worker's own
    Dense,       // one entry for every 3-byte colour, shared by the workers
    Packed,      // a large cache shared by the workers
};

struct ColourPlan {
    // Rows are converted by this many worker threads while the run's thread
    // reads and writes them in order; 0: pixel by pixel on the run's thread.
    unsigned workers = 0;
    ColourTable table = ColourTable::None;
    // Misses go through the fast evaluator rather than the transform (set
    // once the evaluator has been made and checked).
    bool evaluator = false;
    // ...which also gives the destination bytes.
    bool evaluatorBytes = false;
    // Each worker's cache holds 2^cacheBits colours.
    unsigned cacheBits = 0;

    bool PerPixel() const { return workers == 0; }
    // "per pixel", or the workers, the table and the evaluator, as tests and
    // the benchmark name the way taken.
    std::string Describe() const;
};

// Batches of rows in flight per worker: enough to keep every core busy while
// the run's thread reads and writes, few enough that memory stays a handful
// of batches.
constexpr unsigned kRowsPerWorker = 4;
// Rows are handed to the workers in batches of about this many pixels (and
// at most kMaxBatch rows), as waking a thread costs as much as converting
// a few thousand pixels of a photo.
constexpr uint32_t kBatchPixels = 32768;
constexpr uint32_t kMaxBatch = 16;
inline uint32_t RowsPerBatch(uint32_t width) {
    return width >= kBatchPixels ? 1 : std::min(kMaxBatch, kBatchPixels / std::max(width, 1u));
}
// Bytes past the end of each row buffer of the pipeline, so that a pixel is
// read and written with whole eight-byte moves.
constexpr size_t kRowSlack = 8;

// The plan for an image of this size and layout, before the evaluator is
// tried (the caller makes it and notes whether it was made).
ColourPlan ChooseColourPlan(const JobSpec& job, const PixelLayout& layout, uint32_t width,
                            uint32_t height, uint64_t sourceRowBytes, uint64_t destRowBytes);

// The bits of each worker's cache for an image of this many pixels: a small
// image gets a small cache, as clearing megabytes for a few hundred pixels
// would cost more than converting them.
unsigned CacheBitsFor(uint64_t pixels);

// Worker threads for a conversion: the setting when given, else one per core.
unsigned ConversionThreadCount(unsigned setting);

// How many of the wanted workers fit the pipeline's memory budget for rows
// of these sizes; 0 when not even one does and the plain loop must serve.
unsigned PipelineWorkersFor(unsigned wanted, uint64_t sourceRowBytes, uint64_t destRowBytes,
                            uint32_t width);
