#include "RowPipeline.h"

#include <algorithm>

#include "MemoryPages.h"
#include "RunState.h"
#include "TiffImage.h"
#include "TiffWriter.h"

CRowPipeline::CRowPipeline(CTiffImage& source, CTiffWriter& dest, CColourKernel& kernel,
                           const RunControl& control, uint32_t width, uint32_t height,
                           unsigned workers)
    : m_source(source), m_dest(dest), m_kernel(kernel), m_control(control), m_nWidth(width),
      m_nHeight(height) {
    workers = std::max(1u, workers);
    m_nWorkers = workers;
    m_nBatch = RowsPerBatch(width);
    m_slots.resize(workers * kRowsPerWorker * m_nBatch);
    // One block for every row buffer, its pages asked for at once.
    const size_t srcBytes = source.GetRowBytes() + kRowSlack;
    const size_t dstBytes = dest.GetRowBytes() + kRowSlack;
    ResizePrepared(m_rows, m_slots.size() * (srcBytes + dstBytes));
    for (size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i].src = m_rows.data() + i * (srcBytes + dstBytes);
        m_slots[i].dst = m_slots[i].src + srcBytes;
    }
    for (unsigned i = 0; i < workers; ++i)
        m_states.push_back(kernel.MakeWorkerState(width));
    try {
        for (unsigned i = 0; i < workers; ++i)
            m_workers.emplace_back(&CRowPipeline::Worker, this, std::ref(*m_states[i]));
    } catch (...) {
        Shutdown(); // the threads already started must not outlive the object
        throw;
    }
}

CRowPipeline::~CRowPipeline() {
    Shutdown();
}

void CRowPipeline::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_workReady.notify_all();
    for (std::thread& t : m_workers)
        t.join();
    m_workers.clear();
}

void CRowPipeline::Worker(CColourKernel::WorkerState& state) {
    for (;;) {
        uint32_t first, count;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_workReady.wait(lock, [&] { return m_bQuit || m_nClaimed < m_nPublished; });
            if (m_bQuit)
                return;
            // A share of the rows waiting, so that the others find some too.
            const uint32_t waiting = m_nPublished - m_nClaimed;
            first = m_nClaimed;
            count = std::min(m_nBatch, (waiting + m_nWorkers - 1) / m_nWorkers);
            m_nClaimed += count;
        }
        bool complete[kMaxBatch];
        for (uint32_t i = 0; i < count; ++i) {
            Slot& slot = m_slots[(first + i) % m_slots.size()];
            complete[i] = m_kernel.ConvertRow(m_control, m_nWidth, slot.src, slot.dst, state);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (uint32_t i = 0; i < count; ++i) {
                Slot& slot = m_slots[(first + i) % m_slots.size()];
                slot.complete = complete[i];
                slot.state = SlotState::Done;
            }
        }
        m_rowDone.notify_all();
    }
}

// Reads rows into free slots and hands them to the workers; false when the
// next row could not be read. Rows go in batches, so that a worker wakes
// once for several, but the next row to be written never waits. While the
// kernel previews the first rows they all wait, as its preview may change
// how rows are converted.
bool CRowPipeline::FillAhead(uint32_t& nextRead, uint32_t nextWrite) {
    bool read = true;
    while (nextRead < m_nHeight && nextRead - nextWrite < m_slots.size()) {
        Slot& slot = m_slots[nextRead % m_slots.size()];
        if (!m_source.ReadRow(slot.src)) {
            read = false;
            break;
        }
        ++nextRead;
        if (m_kernel.WantsPreview())
            m_kernel.Preview(m_nWidth, slot.src);
    }
    m_kernel.EndPreview();
    if (!m_bCachesReady) {
        for (auto& state : m_states)
            if (m_kernel.UsesWorkerCaches())
                state->cache.Prepare();
        m_bCachesReady = true;
    }
    if (nextRead - m_nPublished >= m_nBatch || nextRead == m_nHeight || !read ||
        nextWrite >= m_nPublished)
        Publish(nextRead);
    return read;
}

void CRowPipeline::Publish(uint32_t rows) {
    if (rows == m_nPublished)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (uint32_t row = m_nPublished; row < rows; ++row)
            m_slots[row % m_slots.size()].state = SlotState::Ready;
        m_nPublished = rows;
    }
    m_workReady.notify_all();
}

void CRowPipeline::WaitUntilDone(Slot& slot) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_rowDone.wait(lock, [&] { return slot.state == SlotState::Done; });
}

RowsEnd CRowPipeline::Run(const std::function<void()>& rowDone) {
    uint32_t nextRead = 0;
    bool readable = true;
    RowsEnd end = RowsEnd::Done;
    for (uint32_t row = 0; row < m_nHeight && end == RowsEnd::Done; ++row) {
        if (m_control.CancelRequested()) {
            end = RowsEnd::Cancelled;
            break;
        }
        if (readable)
            readable = FillAhead(nextRead, row);
        if (row == nextRead) { // the row due is the one that could not be read
            end = RowsEnd::ReadFailed;
            break;
        }
        Slot& slot = m_slots[row % m_slots.size()];
        WaitUntilDone(slot);
        // A cancel stops after the row in progress, as in the per-pixel loop,
        // even when workers have already converted rows beyond it.
        if (!slot.complete || m_control.CancelRequested())
            end = RowsEnd::Cancelled;
        if (!m_dest.WriteRow(slot.dst)) {
            end = RowsEnd::WriteFailed;
            break;
        }
        // No worker looks at the slot again before it is published anew.
        slot.state = SlotState::Free;
        rowDone();
    }
    Shutdown();
    return end;
}
