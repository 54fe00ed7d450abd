#pragma once
// What one run is asked to do: built once, by the main window or the
// command-line tool, checked by CheckJob, then only read.

#include <cstdint>
#include <string>

#include "TiffImage.h"
#include "TiffWriter.h"

constexpr uint64_t kDefaultMaxRowBytes = uint64_t(1) << 30;

struct JobSpec {
    std::string m_strSourceImage;
    std::string m_strSourceProfile;
    std::string m_strDestProfile;
    std::string m_strDestImage;
    // 0 the source profile's own, 1 perceptual, 2 relative colorimetric,
    // 3 saturation, 4 absolute colorimetric.
    int32_t m_nIntent = 2;
    // Black-point compensation, for every intent but absolute colorimetric.
    bool m_bBlackPointCompensation = false;
    bool m_bMultipleFiles = false;
    bool m_bEmbedProfile = false;

    // Each source image's own embedded profile is its source profile;
    // m_strSourceProfile, when given, serves the images that carry none.
    bool m_bEmbeddedSourceProfile = false;
    // A folder run goes on past an image that fails, instead of stopping.
    bool m_bKeepGoing = false;
    // Descriptive tags of each source (XMP, IPTC, EXIF, date, artist...)
    // are copied to its destination.
    bool m_bKeepMetadata = false;
    // A source that exists but cannot be read is named with the system's
    // reason instead of as an invalid TIFF file (the command-line tool).
    bool m_bExplainUnreadable = false;
    // Bits per sample of destinations, 8 or 16; 0 keeps each source's.
    int m_nOutputDepth = 0;
    // How destinations are compressed (the windows: never).
    TiffCompression m_nCompression = kCompressNone;
    // Of the sorted folder list, only entries K, K + N, K + 2N... (1-based)
    // are taken, so that N runs can share one folder; 1 of 1 takes all.
    uint32_t m_nShardIndex = 1;
    uint32_t m_nShardCount = 1;

    // How the work is done; none of these changes a byte of the results.
    // Threads that convert rows; 0 means one per core.
    unsigned m_nThreads = 0;
    // Convert pixel by pixel on the run's thread, the simplest and slowest way.
    bool m_bPlainPixelPath = false;
    // Largest row, source or destination, that an image may have; larger
    // images are refused before anything is allocated.
    uint64_t m_nMaxRowBytes = kDefaultMaxRowBytes;
    // Largest block libtiff may allocate for a source's tags as it reads its
    // directory; a source that needs more is an invalid file.
    uint64_t m_nMaxTiffAllocation = kDefaultMaxTiffAllocation;
    // Destinations larger than this are written as BigTIFF.
    uint64_t m_nBigTiffThreshold = kBigTiffThreshold;
};
