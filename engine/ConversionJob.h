#pragma once
// The job record of one run and the fields the worker shares with whoever
// shows the run. The status window owns one of these; so do the
// command-line tool and the tests.

#include <atomic>
#include <cstdint>
#include <string>

#include "TiffImage.h"

class IConversionObserver;

constexpr uint64_t kDefaultMaxRowBytes = uint64_t(1) << 30;

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
    // Largest row, source or destination, that an image may have; larger
    // images are refused before anything is allocated.
    uint64_t m_nMaxRowBytes = kDefaultMaxRowBytes;
    // Largest block libtiff may allocate for a source's tags as it reads its
    // directory; a source that needs more is an invalid file.
    uint64_t m_nMaxTiffAllocation = kDefaultMaxTiffAllocation;
    // Destinations larger than this are written as BigTIFF.
    uint64_t m_nBigTiffThreshold = kBigTiffThreshold;
    // A source that exists but cannot be read is named with the system's
    // reason instead of as an invalid TIFF file (the command-line tool).
    bool m_bExplainUnreadable = false;
    // Each source image's own embedded profile is its source profile;
    // m_strSourceProfile is then not used.
    bool m_bEmbeddedSourceProfile = false;
    // A folder run goes on past an image that fails, instead of stopping.
    bool m_bKeepGoing = false;
    // Descriptive tags of each source (XMP, IPTC, EXIF, date, artist...)
    // are copied to its destination.
    bool m_bKeepMetadata = false;
    // How destinations are compressed (the windows: never).
    TiffCompression m_nCompression = kCompressNone;
    // Of the sorted folder list, only entries K, K + N, K + 2N... (1-based)
    // are taken, so that N runs can share one folder; 1 of 1 takes all.
    uint32_t m_nShardIndex = 1;
    uint32_t m_nShardCount = 1;

    // What the run found, for whoever reports its end; written before
    // m_bFinished. m_nScanError is the errno that kept the source folder
    // from being read, 0 when it was read.
    uint32_t m_nImagesFound = 0;
    uint32_t m_nImagesSkipped = 0; // dropped by the screening, or failed with m_bKeepGoing
    int m_nScanError = 0;
};

// The worker thread's procedure: runs the job, then sets m_bFinished.
unsigned ConversionThreadProc(CConversionJob* job);

// Rounds to the nearest integer, halves away from zero.
int32_t RoundToInt(double value);
