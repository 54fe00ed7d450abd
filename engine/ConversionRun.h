#pragma once
// One run over a single image or a folder: the file list, its screening,
// the images one after another, the progress, and what the user is told.
// Only the run talks to the observer.

#include <cstdint>
#include <string>
#include <vector>

#include "ConversionJob.h"
#include "RunState.h"

class CTiffImage;
class IConversionObserver;
struct ImageOutcome;

// The whole run, on the calling thread.
RunResult RunConversion(const JobSpec& job, RunControl& control, RunProgress& progress,
                        IConversionObserver& observer);

// The worker thread's procedure: runs the job, stores its result, then
// marks the progress finished.
void ConversionThreadProc(const JobSpec& job, RunControl& control, RunProgress& progress,
                          IConversionObserver& observer, RunResult& result);

// A file the run will not convert: the message, and why in one line ("" when
// the message says all).
struct Refusal {
    std::string message;
    std::string cause;
    bool Refused() const { return !message.empty(); }
};

class CConversionRun {
public:
    CConversionRun(const JobSpec& job, const RunControl& control, RunProgress& progress,
                   IConversionObserver& observer);
    RunResult Run();

    // Where each source of a folder run is written: the destination folder,
    // one separator, the source's file name.
    static std::string DestinationFor(const std::string& destFolder, const std::string& source);
    // The file-name label: the name cut before its first period, unless the
    // period is the name's first character.
    static std::string FileNameLabel(const std::string& source);
    // The sources a run takes, in order: the one image, or the TIFF images of
    // the folder that fall to the job's shard. scanError: the errno that kept
    // the folder from being read, else 0; inFolder, when given: the folder's
    // TIFF images before the shard was taken.
    static std::vector<std::string> SourceList(const JobSpec& job, int& scanError,
                                               size_t* inFolder = nullptr);

private:
    void ReadProfileBytes();
    void ScreenFileList();
    // The refusal of a file whose images are not all convertible, else none
    // with the rows of all of them.
    Refusal ScreenPages(CTiffImage& source, const std::string& path, uint64_t& rows) const;
    // The refusal of a file that did not open as a TIFF image.
    Refusal Unopened(const std::string& path) const;
    // Drops entry i of the list after showing why.
    void Drop(size_t i, const Refusal& refusal);
    bool ConvertAll();
    // The image's outcome; its message, if any, has been shown.
    bool ConvertOne(const std::string& source, const std::string& dest);
    // After an image failed, with its message shown: whether the run goes on
    // to the next image (only when asked to keep going, and not cancelled).
    // Going on, the image's rows count as done: rowsAtEnd is where the
    // percentage would stand had it been converted.
    bool GoOnAfterFailure(uint64_t rowsAtEnd);
    void StorePercent();
    std::string Shown(const std::string& path) const;

    const JobSpec& m_job;
    const RunControl& m_control;
    RunProgress& m_progress;
    IConversionObserver& m_observer;
    RunResult m_result;
    std::vector<std::string> m_list;
    std::vector<unsigned char> m_profileBytes;
    bool m_bHaveProfile = false;
    std::vector<uint64_t> m_rows; // each listed image's rows, as screened
    uint64_t m_nTotalRows = 0;
    uint64_t m_nRowsDone = 0;
    bool m_bXyzDestination = false;
};

// Rounds to the nearest integer, halves away from zero.
int32_t RoundToInt(double value);
