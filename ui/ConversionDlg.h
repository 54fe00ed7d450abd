#pragma once
// The "Conversion Status" window of one run. It owns the job, runs it on one
// worker thread, shows the current file, the file count, the progress and the
// elapsed time, shows the run's messages on the interface thread while the
// worker waits, and closes itself once the worker has finished: accepted when
// the run succeeded, rejected otherwise. Cancel only asks the worker to stop.

#include "ConversionJob.h"
#include "ConversionObserver.h"

#include <QBasicTimer>
#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class IMessageBoxes;
class QLabel;
class QProgressBar;

class CConversionDlg : public QDialog, public CConversionJob, public IConversionObserver {
    Q_OBJECT

public:
    CConversionDlg(QWidget* parent, IMessageBoxes& boxes);
    ~CConversionDlg() override;

    // What the worker thread runs; ConversionThreadProc unless replaced
    // before the window is shown.
    std::function<void(CConversionJob*)> m_threadProc;
    // The clock of the elapsed time, in whole seconds.
    std::function<int64_t()> m_clock;

    // One tick of the 100 ms timer: elapsed time, percentage, closing.
    void OnTimer();
    // Cancel (the button, Escape, the close box): asks the run to stop and
    // leaves the window open until the worker has finished.
    void reject() override;

    // The observer of the run, called on the worker thread.
    void ShowMessage(const std::string& text) override;
    void SetFileNameLabel(const std::string& text) override;
    void SetFileCountLabel(const std::string& text) override;

    // Seconds as hours, minutes and seconds; the hours do not wrap.
    static std::string FormatElapsed(int64_t seconds);

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnInitDialog();
    void DoDataExchange();
    // Runs the work on the interface thread and returns once it is done.
    void RunOnInterfaceThread(const std::function<void()>& work);
    void JoinWorker();

    IMessageBoxes& m_boxes;
    QProgressBar* m_progressCtrl;
    std::string m_strPercent;
    std::string m_strElapsed;
    int64_t m_startTime = 0;
    int32_t m_nShownPercent = -1;
    QLabel* m_fileNameLabel;
    QLabel* m_fileCountLabel;
    QLabel* m_percentLabel;
    QLabel* m_elapsedLabel;
    QBasicTimer m_timer;
    std::thread m_worker;
    bool m_bInitialised = false;
};
