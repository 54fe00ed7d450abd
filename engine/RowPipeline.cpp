#include "RowPipeline.h"

#include <algorithm>

#include "RunState.h"
#include "TiffImage.h"
#include "TiffWriter.h"

CRowPipeline::CRowPipeline(CTiffImage& source, CTiffWriter& dest, CColourKernel& kernel,
                           const RunControl& control, uint32_t width, uint32_t height,
                           unsigned workers)
    : m_source(source), m_dest(dest), m_kernel(kernel), m_control(control), m_nWidth(width),
      m_nHeight(height) {
    workers = std::max(1u, workers);
    m_slots.resize(workers * kRowsPerWorker);
    for (Slot& slot : m_slots) {
        slot.src.resize(source.GetRowBytes() + kRowSlack);
        slot.dst.assign(dest.GetRowBytes() + kRowSlack, 0);
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
        uint32_t row;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_workReady.wait(lock, [&] { return m_bQuit || m_nClaimed < m_nPublished; });
            if (m_bQuit)
                return;
            row = m_nClaimed++;
        }
        Slot& slot = m_slots[row % m_slots.size()];
        const bool complete =
            m_kernel.ConvertRow(m_control, m_nWidth, slot.src.data(), slot.dst.data(), state);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            slot.complete = complete;
            slot.state = SlotState::Done;
        }
        m_rowDone.notify_all();
    }
}

// Reads rows into free slots and hands them to the workers; false when the
// next row could not be read. While the kernel previews the first rows they
// wait, as its preview may change how rows are converted.
bool CRowPipeline::FillAhead(uint32_t& nextRead, uint32_t nextWrite) {
    bool read = true;
    while (nextRead < m_nHeight && nextRead - nextWrite < m_slots.size()) {
        Slot& slot = m_slots[nextRead % m_slots.size()];
        if (!m_source.ReadRow(slot.src.data())) {
            read = false;
            break;
        }
        ++nextRead;
        if (m_kernel.WantsPreview())
            m_kernel.Preview(m_nWidth, slot.src.data());
        else
            Publish(nextRead);
    }
    m_kernel.EndPreview();
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
        if (!m_dest.WriteRow(slot.dst.data())) {
            end = RowsEnd::WriteFailed;
            break;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            slot.state = SlotState::Free;
        }
        rowDone();
    }
    Shutdown();
    return end;
}
