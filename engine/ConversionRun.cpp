#include "ConversionRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "Causes.h"
#include "ConversionObserver.h"
#include "FileRead.h"
#include "FolderScan.h"
#include "IccCmm.h"
#include "ImageConversion.h"
#include "Messages.h"
#include "PathIdentity.h"
#include "PathUtils.h"
#include "TiffImage.h"

RunResult RunConversion(const JobSpec& job, RunControl& control, RunProgress& progress,
                        IConversionObserver& observer) {
    // Cancelled before it began: nothing is looked at.
    if (control.CancelRequested())
        return RunResult();
    return CConversionRun(job, control, progress, observer).Run();
}

void ConversionThreadProc(const JobSpec& job, RunControl& control, RunProgress& progress,
                          IConversionObserver& observer, RunResult& result) {
    result = RunConversion(job, control, progress, observer);
    progress.Finish();
}

CConversionRun::CConversionRun(const JobSpec& job, const RunControl& control, RunProgress& progress,
                               IConversionObserver& observer)
    : m_job(job), m_control(control), m_progress(progress), m_observer(observer) {}

RunResult CConversionRun::Run() {
    ReadProfileBytes();
    size_t inFolder = 0;
    m_list = SourceList(m_job, m_result.m_nScanError, &inFolder);
    m_result.m_nImagesFound = static_cast<uint32_t>(m_list.size());
    m_result.m_nImagesInFolder = static_cast<uint32_t>(inFolder);
    ScreenFileList();
    m_result.m_bSucceeded = ConvertAll();
    return m_result;
}

void CConversionRun::ReadProfileBytes() {
    if (!m_job.m_bEmbedProfile)
        return;
    // The whole profile or nothing: a short read must not put half a profile
    // into every image.
    m_bHaveProfile = ReadRegularFile(m_job.m_strDestProfile, m_profileBytes, icMaxProfileBytes);
}

std::vector<std::string> CConversionRun::SourceList(const JobSpec& job, int& scanError,
                                                    size_t* inFolder) {
    std::vector<std::string> list;
    scanError = 0;
    if (!job.m_bMultipleFiles) {
        list.push_back(job.m_strSourceImage);
        return list;
    }
    scanError = ScanFolder(job.m_strSourceImage, list);
    FilterTiffFiles(list);
    if (inFolder)
        *inFolder = list.size();
    TakeShard(list, job.m_nShardIndex, job.m_nShardCount);
    return list;
}

std::string CConversionRun::Shown(const std::string& path) const {
    return m_observer.DisplayPath(path);
}

Refusal CConversionRun::Unopened(const std::string& path) const {
    if (m_job.m_bExplainUnreadable) {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int error = errno;
        if (fd >= 0)
            close(fd);
        else if (error != ENOENT)
            return {FormatText(msg::kCannotRead, Shown(path).c_str(), strerror(error)), ""};
    }
    return {FormatText(msg::kInvalidTiff, Shown(path).c_str()),
            cause::OfUnreadTiff(path, Shown(path))};
}

void CConversionRun::Drop(size_t i, const Refusal& refusal) {
    m_observer.ShowMessage(refusal.message, refusal.cause);
    m_list.erase(m_list.begin() + static_cast<std::ptrdiff_t>(i));
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
    ++m_result.m_nImagesSkipped;
}

void CConversionRun::ScreenFileList() {
    CTiffImage source;
    source.SetAllocationLimit(m_job.m_nMaxTiffAllocation);
    m_rows.assign(m_list.size(), 0);
    for (size_t i = m_list.size(); i-- > 0;) {
        const std::string path = m_list[i];
        uint64_t rows = 0;
        const Refusal refusal =
            source.OpenForRead(path.c_str()) ? ScreenPages(source, path, rows) : Unopened(path);
        source.Close();
        if (refusal.Refused())
            Drop(i, refusal);
        else
            m_nTotalRows += m_rows[i] = rows;
    }
}

Refusal CConversionRun::ScreenPages(CTiffImage& source, const std::string& path,
                                    uint64_t& rows) const {
    const std::string name = Shown(GetFileName(path));
    const uint32_t pages = source.CountPages();
    for (uint32_t p = 0; p < pages; ++p) {
        if (p > 0 && !source.OpenPage(p))
            break;
        if (!source.HasConvertibleSamples())
            return {FormatText(msg::kScreenNot8Bit, name.c_str()),
                    cause::OfSamples(source.GetPixelTags())};
        if (source.GetRowBytes() > m_job.m_nMaxRowBytes)
            return {FormatText(msg::kScreenTooLarge, name.c_str()), ""};
        rows += source.GetHeight();
        if (p + 1 == pages)
            return Refusal();
    }
    return {FormatText(msg::kInvalidTiff, Shown(path).c_str()),
            cause::OfUnreadTiff(path, Shown(path))};
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
        if (ConvertOne(source, dest)) {
            anyConverted = true;
            ++m_result.m_nImagesConverted;
        } else if (!GoOnAfterFailure(rowsAtEnd)) {
            return false;
        }
    }
    return anyConverted;
}

bool CConversionRun::ConvertOne(const std::string& source, const std::string& dest) {
    // Writing a destination over its own source would destroy the image
    // being read, whatever way the two paths are spelled.
    if (IsSamePath(source, dest)) {
        m_observer.ShowMessage(FormatText(msg::kSameSourceAndDest, msg::kNounImages), "");
        return false;
    }
    const ImageJob image{m_job, m_bHaveProfile ? &m_profileBytes : nullptr, m_bXyzDestination,
                         [this](const std::string& path) { return Shown(path); }};
    PreparedImage prepared = PrepareImage(image, source, dest);
    if (!prepared.plan) {
        m_observer.ShowMessage(prepared.refusal, prepared.cause);
        return false;
    }
    if (!prepared.note.empty()) {
        m_observer.ShowNote(prepared.note);
        ++m_result.m_nOtherProfiles;
    }
    m_bXyzDestination = prepared.plan->xyzDestination;
    ImageProgress progress;
    progress.rowDone = [this] {
        ++m_nRowsDone;
        StorePercent();
    };
    // A file of several pages shows the page in hand.
    progress.pageBegun = [&](uint32_t page, uint32_t pages) {
        if (pages > 1)
            m_observer.SetFileNameLabel(
                FormatText(msg::kFilePage, GetFileName(source).c_str(), int(page + 1), int(pages)));
    };
    const ImageOutcome outcome = ConvertImage(*prepared.plan, m_control, progress);
    prepared.plan.reset(); // the source closed before anyone hears of the image
    if (!outcome.message.empty())
        m_observer.ShowMessage(outcome.message, outcome.cause);
    return outcome.status == ImageStatus::Converted;
}

bool CConversionRun::GoOnAfterFailure(uint64_t rowsAtEnd) {
    if (!m_job.m_bKeepGoing || m_control.CancelRequested())
        return false;
    m_nRowsDone = std::max(m_nRowsDone, rowsAtEnd);
    StorePercent();
    ++m_result.m_nImagesSkipped;
    return true;
}

void CConversionRun::StorePercent() {
    const double fraction = m_nTotalRows ? double(m_nRowsDone) / double(m_nTotalRows) : 1.0;
    // A source that grew after the screening counted its rows must not take the
    // percentage past 100.
    m_progress.SetPercent(std::min(RoundToInt(fraction * 100.0), 100));
}

std::string RunSummary(const RunResult& result) {
    if (!result.m_bSucceeded || result.m_nImagesSkipped == 0)
        return std::string();
    return FormatText(msg::kRunSummary, result.m_nImagesConverted, result.m_nImagesFound,
                      result.m_nImagesSkipped);
}

int32_t RoundToInt(double value) {
    const double whole = std::floor(value);
    const double frac = value - whole;
    const int32_t f = static_cast<int32_t>(whole);
    if (value > 0)
        return frac >= 0.5 ? f + 1 : f;
    return frac > 0.5 ? f + 1 : f;
}
