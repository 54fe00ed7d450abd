#pragma once
// The fast way through an image's rows: the run's thread reads rows and
// writes them in order, while worker threads convert them, each with its own
// colour cache. Every byte is what the per-pixel loop would write.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ColourCache.h"
#include "IccFastEval.h"
#include "ImageResources.h"
#include "PixelCodec.h"

class CConversionJob;
class CIccCmm;

class CRowPipeline {
public:
    // shownDest is the destination as messages name it.
    CRowPipeline(CConversionJob& job, const ImageResources& res, const CIccCmm& cmm,
                 const PixelLayout& layout, const std::string& shownDest, unsigned threads);
    ~CRowPipeline();
    CRowPipeline(const CRowPipeline&) = delete;
    CRowPipeline& operator=(const CRowPipeline&) = delete;

    // Converts and writes the rows, stopping as the per-pixel loop would;
    // returns the failure's message, empty when done or cancelled.
    std::string Run();

    // Converts one row into dst through the cache; false when a cancel was
    // noticed before the row was done. Both buffers must have 8 bytes to
    // spare after the row.
    // Scratch of one worker, taken before any thread starts so that
    // converting never allocates.
    struct WorkerState {
        explicit WorkerState(uint32_t width, unsigned cacheBits = CColourCache::kDefaultBits)
            : cache(cacheBits) {
            copies.reserve(width);
        }
        CColourCache cache;
        std::vector<std::pair<uint32_t, uint32_t>> copies;
        // Shared by all workers when set: the evaluator converts the misses
        // instead of the transform, and the dense table or else the packed
        // cache replaces the worker's own cache.
        const CIccFastEval* eval = nullptr;
        CDenseColourTable* dense = nullptr;
        CPackedColourCache* packed = nullptr;
    };
    static bool ConvertRow(const CConversionJob& job, const CIccCmm& cmm, const PixelLayout& layout,
                           uint32_t width, const unsigned char* src, unsigned char* dst,
                           WorkerState& state);

private:
    enum class SlotState { Free, Ready, Done };
    struct Slot {
        std::vector<unsigned char> src, dst;
        SlotState state = SlotState::Free;
        bool complete = false;
    };

    void Worker(WorkerState& state);
    bool FillAhead(uint32_t& nextRead, uint32_t nextWrite);
    void WaitUntilDone(Slot& slot);
    void Shutdown();

    CConversionJob& m_job;
    const ImageResources& m_res;
    const CIccCmm& m_cmm;
    const PixelLayout m_layout;
    const std::string m_strDestPath;
    const uint32_t m_nWidth;
    const uint32_t m_nHeight;

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_rowDone;
    std::vector<Slot> m_slots;
    uint32_t m_nPublished = 0; // rows handed to the workers
    uint32_t m_nClaimed = 0;   // rows a worker has taken
    bool m_bQuit = false;
    std::unique_ptr<CIccFastEval> m_eval;
    std::unique_ptr<CDenseColourTable> m_dense;
    std::unique_ptr<CPackedColourCache> m_packed;
    std::vector<std::unique_ptr<WorkerState>> m_states;
    std::vector<std::thread> m_workers;
};

// The transform's fast evaluator for pixels of this layout, or null when
// there is none (the source's channels do not decode one by one, or the
// transform's link is not one the evaluator takes).
std::unique_ptr<CIccFastEval> MakeFastEvalFor(const CIccCmm& cmm, const PixelLayout& layout);

// Worker threads for a conversion: the setting when given, else one per core.
unsigned ConversionThreadCount(unsigned setting);

// How many of the wanted workers fit the pipeline's memory budget for rows
// of these sizes; 0 when not even one does and the plain loop must serve.
unsigned PipelineWorkersFor(unsigned wanted, uint64_t sourceRowBytes, uint64_t destRowBytes,
                            uint32_t width);
