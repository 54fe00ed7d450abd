#pragma once
// The rows of an image on several threads: the run's thread reads rows and
// writes them in order, while worker threads convert them through the
// colour kernel. Every byte is what the per-pixel loop would write.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ColourKernel.h"

class CTiffImage;
class CTiffWriter;
class RunControl;

// How the rows of an image ended.
enum class RowsEnd { Done, Cancelled, ReadFailed, WriteFailed };

class CRowPipeline {
public:
    // Throws when the memory or the threads cannot be had; nothing is read
    // or written then.
    CRowPipeline(CTiffImage& source, CTiffWriter& dest, CColourKernel& kernel,
                 const RunControl& control, uint32_t width, uint32_t height, unsigned workers);
    ~CRowPipeline();
    CRowPipeline(const CRowPipeline&) = delete;
    CRowPipeline& operator=(const CRowPipeline&) = delete;

    // Converts and writes the rows, calling rowDone after each row written;
    // a cancel stops after the row in progress, as in the per-pixel loop.
    RowsEnd Run(const std::function<void()>& rowDone);

private:
    enum class SlotState { Free, Ready, Done };
    struct Slot {
        unsigned char* src = nullptr; // a row and kRowSlack bytes, in m_rows
        unsigned char* dst = nullptr;
        SlotState state = SlotState::Free;
        bool complete = false;
    };

    void Worker(CColourKernel::WorkerState& state);
    bool FillAhead(uint32_t& nextRead, uint32_t nextWrite);
    // Hands the rows read up to this one to the workers.
    void Publish(uint32_t rows);
    void WaitUntilDone(Slot& slot);
    void Shutdown();

    CTiffImage& m_source;
    CTiffWriter& m_dest;
    CColourKernel& m_kernel;
    const RunControl& m_control;
    const uint32_t m_nWidth;
    const uint32_t m_nHeight;

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_rowDone;
    std::vector<Slot> m_slots;
    std::vector<unsigned char> m_rows;
    uint32_t m_nWorkers = 1;
    uint32_t m_nBatch = 1;     // rows a worker takes at most, and the run's hands out at least
    uint32_t m_nPublished = 0; // rows handed to the workers
    uint32_t m_nClaimed = 0;   // rows a worker has taken
    bool m_bQuit = false;
    bool m_bCachesReady = false; // the workers' caches prepared, once the preview ended
    std::vector<std::unique_ptr<CColourKernel::WorkerState>> m_states;
    std::vector<std::thread> m_workers;
};
