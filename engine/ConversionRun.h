#pragma once
// One run over a single image or a folder: the file list, its screening,
// the images one after another, and the progress shared with the display.

#include <cstdint>
#include <string>
#include <vector>

#include "ImageResources.h"
#include "TiffImage.h"

class CConversionJob;
class IConversionObserver;

class CConversionRun : public IImageHooks {
public:
    CConversionRun(CConversionJob& job, IConversionObserver& observer);
    void Run();

    // Where each source of a folder run is written: the destination folder,
    // one separator, the source's file name.
    static std::string DestinationFor(const std::string& destFolder, const std::string& source);
    // The file-name label: the name cut before its first period, unless the
    // period is the name's first character.
    static std::string FileNameLabel(const std::string& source);
    // The sources a run takes, in order: the one image, or the TIFF images of
    // the folder that fall to the job's shard. scanError: the errno that kept
    // the folder from being read, else 0.
    static std::vector<std::string> SourceList(const CConversionJob& job, int& scanError);

    void ShowMessage(const std::string& text) override;
    void AdvanceProgress() override;
    void EndOfImagePauseCheck() override;
    std::string DisplayPath(const std::string& path) override;

private:
    void ReadProfileBytes();
    void BuildFileList();
    void ScreenFileList();
    // The message for a file that did not open as a TIFF image.
    std::string UnopenedMessage(const std::string& path);
    // Drops entry i of the list after showing why.
    void Drop(size_t i, const std::string& message);
    bool ConvertAll();
    // After an image failed, with its message shown: whether the run goes on
    // to the next image (only when asked to keep going, and not cancelled).
    // Going on, the image's rows count as done: rowsAtEnd is where the
    // percentage would stand had it been converted.
    bool GoOnAfterFailure(uint64_t rowsAtEnd);
    void StorePercent();
    void Pause();

    CConversionJob& m_job;
    IConversionObserver& m_observer;
    std::vector<std::string> m_list;
    std::vector<unsigned char> m_profileBytes;
    bool m_bHaveProfile = false;
    std::vector<uint64_t> m_rows; // each listed image's rows, as screened
    uint64_t m_nTotalRows = 0;
    uint64_t m_nRowsDone = 0;
    bool m_bPausedAt100 = false;
    bool m_bXyzDestination = false;
    CTiffImage m_source;
    CTiffImage m_dest;
};
