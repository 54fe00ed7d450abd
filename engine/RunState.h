#pragma once
// What the thread that runs a conversion shares with whoever shows it: the
// cancel request going in, the progress coming out while it runs, and the
// result once it has finished.

#include <atomic>
#include <cstdint>
#include <string>

// The user's request to stop (Cancel, Escape, Ctrl-C): the run stops after
// the row in progress. Safe to call from a signal handler.
class RunControl {
public:
    void RequestCancel() { m_bStop.store(true, std::memory_order_relaxed); }
    bool CancelRequested() const { return m_bStop.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_bStop{false};
};
static_assert(std::atomic<bool>::is_always_lock_free, "RunControl is used from signal handlers");

// Written by the run, read by the display.
class RunProgress {
public:
    void SetPercent(int32_t percent) { m_nPercent.store(percent, std::memory_order_relaxed); }
    int32_t Percent() const { return m_nPercent.load(std::memory_order_relaxed); }
    // Everything the run wrote before this (its result above all) is seen by
    // whoever then sees Finished().
    void Finish() { m_bFinished.store(true, std::memory_order_release); }
    bool Finished() const { return m_bFinished.load(std::memory_order_acquire); }

private:
    std::atomic<int32_t> m_nPercent{0};
    std::atomic<bool> m_bFinished{false};
};

// How a run ended, for whoever reports it.
struct RunResult {
    // At least one image converted, and the run not ended by a failure or a
    // cancel (a run that keeps going past failures succeeds with one image).
    bool m_bSucceeded = false;
    uint32_t m_nImagesFound = 0;
    // The folder's TIFF images before the job's shard was taken from them.
    uint32_t m_nImagesInFolder = 0;
    uint32_t m_nImagesConverted = 0;
    // Dropped by the screening, or failed in a run that keeps going.
    uint32_t m_nImagesSkipped = 0;
    // Converted from the chosen source profile while carrying another.
    uint32_t m_nOtherProfiles = 0;
    // The errno that kept the source folder from being read, 0 when it was.
    int m_nScanError = 0;
};

// "Converted 3 of 5 images; 2 skipped." for a run that skipped images, else "".
std::string RunSummary(const RunResult& result);
