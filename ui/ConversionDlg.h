#pragma once
// The "Conversion Status" window of one run. It runs the job on one worker
// thread, shows the current file, the file count, the progress and the
// elapsed time, shows the run's messages on the interface thread while the
// worker waits, and closes itself once the worker has finished: accepted when
// the run succeeded, rejected otherwise, after a pause on a full bar so that
// the end is seen. Cancel only asks the worker to stop.

#include "ConversionJob.h"
#include "ConversionObserver.h"
#include "RunState.h"

#include <QBasicTimer>
#include <QDialog>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class IMessageBoxes;
class QLabel;
class QProgressBar;

class CConversionDlg : public QDialog, public IConversionObserver {
    Q_OBJECT

public:
    CConversionDlg(QWidget* parent, IMessageBoxes& boxes);
    ~CConversionDlg() override;

    // The job the window runs once it is shown.
    void SetJob(const JobSpec& job) { m_job = job; }
    const JobSpec& Job() const { return m_job; }
    // How the run ended, once the window has closed.
    const RunResult& Result() const { return m_result; }

    // What the worker thread runs; RunConversion unless replaced before the
    // window is shown.
    using ThreadProc =
        std::function<RunResult(const JobSpec&, RunControl&, RunProgress&, IConversionObserver&)>;
    ThreadProc m_threadProc;
    // The cancel request the window makes, and the progress the run makes.
    RunControl m_control;
    RunProgress m_progress;
    // How long a full bar stays up once the run has finished at 100 %.
    unsigned m_nPauseMs = 1000;
    // The clock of the elapsed time, in whole seconds.
    std::function<int64_t()> m_clock;

    // One tick of the 100 ms timer: elapsed time, percentage, closing.
    void OnTimer();
    // Cancel (the button, Escape, the close box): asks the run to stop and
    // leaves the window open until the worker has finished.
    void reject() override;

    // The observer of the run, called on the worker thread.
    void ShowMessage(const std::string& text, const std::string& cause) override;
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
    // Whether a full bar has been up long enough.
    bool PauseOver() const;

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
    JobSpec m_job;
    RunResult m_result;                                // written by the worker before it finishes
    std::chrono::steady_clock::time_point m_fullSince; // when the bar was first full
    bool m_bInitialised = false;
};
