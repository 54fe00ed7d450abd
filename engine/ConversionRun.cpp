#include "ConversionRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#include "ConversionJob.h"
#include "ConversionObserver.h"
#include "FileRead.h"
#include "FolderScan.h"
#include "IccCmm.h"
#include "ImageConversion.h"
#include "Messages.h"
#include "PathIdentity.h"
#include "PathUtils.h"

CConversionRun::CConversionRun(CConversionJob& job, IConversionObserver& observer)
    : m_job(job), m_observer(observer) {
    m_source.SetAllocationLimit(job.m_nMaxTiffAllocation);
}

void CConversionRun::Run() {
    ReadProfileBytes();
    BuildFileList();
    ScreenFileList();
    if (!ConvertAll()) {
        m_job.m_bStop.store(false, std::memory_order_relaxed);
        m_job.m_bSucceeded.store(false, std::memory_order_relaxed);
    }
    // The two images are destroyed with the run, which completes the last
    // destination file before the caller hears that the run has finished.
}

void CConversionRun::ReadProfileBytes() {
    if (!m_job.m_bEmbedProfile)
        return;
    // The whole profile or nothing: a short read must not put half a profile
    // into every image.
    m_bHaveProfile = ReadRegularFile(m_job.m_strDestProfile, m_profileBytes, icMaxProfileBytes);
}

std::vector<std::string> CConversionRun::SourceList(const CConversionJob& job, int& scanError) {
    std::vector<std::string> list;
    scanError = 0;
    if (!job.m_bMultipleFiles) {
        list.push_back(job.m_strSourceImage);
        return list;
    }
    scanError = ScanFolder(job.m_strSourceImage, list);
    FilterTiffFiles(list);
    TakeShard(list, job.m_nShardIndex, job.m_nShardCount);
    return list;
}

void CConversionRun::BuildFileList() {
    m_list = SourceList(m_job, m_job.m_nScanError);
    m_job.m_nImagesFound = static_cast<uint32_t>(m_list.size());
}

std::string CConversionRun::UnopenedMessage(const std::string& path) {
    if (m_job.m_bExplainUnreadable) {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int error = errno;
        if (fd >= 0)
            close(fd);
        else if (error != ENOENT)
            return FormatText(msg::kCannotRead, DisplayPath(path).c_str(), strerror(error));
    }
    return FormatText(msg::kInvalidTiff, DisplayPath(path).c_str());
}

void CConversionRun::Drop(size_t i, const std::string& message) {
    ShowMessage(message);
    m_list.erase(m_list.begin() + static_cast<std::ptrdiff_t>(i));
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
    ++m_job.m_nImagesSkipped;
}

void CConversionRun::ScreenFileList() {
    m_rows.assign(m_list.size(), 0);
    for (size_t i = m_list.size(); i-- > 0;) {
        const std::string path = m_list[i];
        const std::string name = DisplayPath(GetFileName(path));
        if (!m_source.OpenForRead(path.c_str()))
            Drop(i, UnopenedMessage(path));
        else if (!m_source.HasEightBitUnsignedSamples())
            Drop(i, FormatText(msg::kScreenNot8Bit, name.c_str()));
        else if (m_source.GetRowBytes() > m_job.m_nMaxRowBytes)
            Drop(i, FormatText(msg::kScreenTooLarge, name.c_str()));
        else
            m_nTotalRows += m_rows[i] = m_source.GetHeight();
        m_source.Close();
    }
}

std::string CConversionRun::DestinationFor(const std::string& destFolder,
                                           const std::string& source) {
    std::string dest = destFolder;
    if (!dest.empty() && dest.back() != '/')
        dest += '/';
    return dest + GetFileName(source);
}

std::string CConversionRun::FileNameLabel(const std::string& source) {
    std::string name = GetFileName(source);
    const size_t dot = name.find('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

bool CConversionRun::ConvertAll() {
    const size_t n = m_list.size();
    bool anyConverted = false;
    for (size_t i = 0; i < n; ++i) {
        const std::string& source = m_list[i];
        const std::string dest = m_job.m_bMultipleFiles
                                     ? DestinationFor(m_job.m_strDestImage, source)
                                     : m_job.m_strDestImage;
        const uint64_t rowsAtEnd = m_nRowsDone + m_rows[i];
        m_observer.SetFileNameLabel(FileNameLabel(source));
        m_observer.SetFileCountLabel(FormatText(msg::kFileCount, int(i + 1), int(n)));

        // Writing a destination over its own source would destroy the image
        // being read, whatever way the two paths are spelled.
        if (IsSamePath(source, dest)) {
            ShowMessage(FormatText(msg::kSameSourceAndDest, msg::kNounImages));
            if (!GoOnAfterFailure(rowsAtEnd))
                return false;
            continue;
        }

        m_bPausedAt100 = false;
        const ImageResources res{m_source,
                                 m_dest,
                                 m_bHaveProfile ? m_profileBytes.data() : nullptr,
                                 static_cast<uint32_t>(m_profileBytes.size()),
                                 m_bXyzDestination,
                                 *this};
        const ImageResult result = ConvertImage(m_job, res, source, dest);
        m_bXyzDestination = result.xyzDestination;
        if (result.outcome == ImageOutcome::Converted) {
            m_job.m_bSucceeded.store(true, std::memory_order_relaxed);
            anyConverted = true;
            continue;
        }
        if (!result.message.empty())
            ShowMessage(result.message);
        if (!GoOnAfterFailure(rowsAtEnd))
            return false;
    }
    return anyConverted;
}

bool CConversionRun::GoOnAfterFailure(uint64_t rowsAtEnd) {
    if (!m_job.m_bKeepGoing || m_job.m_bCancelRequested.load(std::memory_order_relaxed))
        return false;
    m_nRowsDone = std::max(m_nRowsDone, rowsAtEnd);
    StorePercent();
    ++m_job.m_nImagesSkipped;
    m_job.m_bStop.store(false, std::memory_order_relaxed);
    return true;
}

void CConversionRun::ShowMessage(const std::string& text) {
    m_observer.ShowMessage(text);
}

std::string CConversionRun::DisplayPath(const std::string& path) {
    return m_observer.DisplayPath(path);
}

void CConversionRun::AdvanceProgress() {
    ++m_nRowsDone;
    StorePercent();
    if (m_job.m_nPercent.load(std::memory_order_relaxed) == 100 && !m_bPausedAt100) {
        m_bPausedAt100 = true;
        Pause();
    }
}

void CConversionRun::StorePercent() {
    const double fraction = m_nTotalRows ? double(m_nRowsDone) / double(m_nTotalRows) : 1.0;
    // A source that grew after the screening counted its rows must not take the
    // percentage past 100.
    const int32_t percent = std::min(RoundToInt(fraction * 100.0), 100);
    m_job.m_nPercent.store(percent, std::memory_order_relaxed);
}

void CConversionRun::EndOfImagePauseCheck() {
    if (m_job.m_nPercent.load(std::memory_order_relaxed) == 100 && !m_bPausedAt100)
        Pause();
}

void CConversionRun::Pause() {
    if (m_job.m_nPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_job.m_nPauseMs));
}
