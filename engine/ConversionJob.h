#pragma once
// The job record of one run and the fields the worker shares with whoever
// shows the run. The status window owns one of these; so do the
// command-line tool and the tests.

#include <atomic>
#include <cstdint>
#include <string>

class IConversionObserver;

class CConversionJob {
public:
    CConversionJob() = default;
    virtual ~CConversionJob() = default;
    CConversionJob(const CConversionJob&) = delete;
    CConversionJob& operator=(const CConversionJob&) = delete;

    bool SetJob(const std::string& sourceImage, const std::string& sourceProfile,
                const std::string& destProfile, const std::string& destImage, int intent,
                bool multipleFiles);

    // The whole run, on the calling thread. Talks to m_pObserver, which must
    // be set.
    void RunConversion();

    // The user asks to cancel (Cancel button, Escape, Ctrl-C).
    void RequestCancel() {
        m_bCancelRequested.store(true, std::memory_order_relaxed);
        m_bStop.store(true, std::memory_order_relaxed);
    }

    // Job record: written before the worker starts, then only read.
    std::string m_strSourceImage;
    std::string m_strSourceProfile;
    std::string m_strDestProfile;
    std::string m_strDestImage;
    int32_t m_nIntent = 2;
    bool m_bMultipleFiles = false;
    bool m_bEmbedProfile = false;

    // Shared between the worker and the interface thread.
    std::atomic<int32_t> m_nPercent{0};
    std::atomic<bool> m_bCancelRequested{false};
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSucceeded{false};
    // Written with release ordering after the run returns; read with acquire.
    std::atomic<bool> m_bFinished{false};

    // Row buffers of the image being converted; null outside an image.
    unsigned char* m_pSourceRow = nullptr;
    unsigned char* m_pDestRow = nullptr;

    // Settings of the run.
    IConversionObserver* m_pObserver = nullptr;
    // The pause once the run reaches 100 %, so the full bar is seen.
    unsigned m_nPauseMs = 1000;
    // Threads that convert rows; 0 means one per core.
    unsigned m_nThreads = 0;
    // Convert pixel by pixel on the run's thread, the simplest and slowest
    // way; the fast way writes the same bytes.
    bool m_bPlainPixelPath = false;
};

// The worker thread's procedure: runs the job, then sets m_bFinished.
unsigned ConversionThreadProc(CConversionJob* job);

// Rounds to the nearest integer, halves away from zero.
int32_t RoundToInt(double value);
