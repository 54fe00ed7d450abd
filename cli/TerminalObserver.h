#pragma once
// Shows a run on a terminal: messages on standard error, and, when asked,
// a one-line progress display redrawn by the main thread.

#include <chrono>
#include <mutex>
#include <string>

#include "ConversionObserver.h"

class CTerminalObserver : public IConversionObserver {
public:
    explicit CTerminalObserver(bool showProgress);

    void ShowMessage(const std::string& text, const std::string& cause) override;
    void ShowNote(const std::string& text) override;
    void SetFileNameLabel(const std::string& text) override;
    void SetFileCountLabel(const std::string& text) override;
    std::string DisplayPath(const std::string& path) const override;

    // Redraws the progress line at the run's percentage; call it about ten
    // times a second from the thread that waits for the run.
    void DrawProgress(int percent);
    // Removes the progress line, if any.
    void ClearProgress();

    // The one-line display, fitted to a width: name, count, bar, percentage
    // and elapsed time.
    static std::string ProgressLine(const std::string& name, const std::string& count, int percent,
                                    long long elapsedSeconds, size_t width);

private:
    void ClearLocked();

    const bool m_bShowProgress;
    const std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;
    std::string m_strName;
    std::string m_strCount;
    bool m_bLineShown = false;
};
