#include "ConversionDlg.h"

#include "ControlIds.h"
#include "Controls.h"
#include "ConversionRun.h"
#include "ElidedLabel.h"
#include "MessageBoxes.h"
#include "Messages.h"
#include "UiTexts.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

constexpr int kTimerPeriodMs = 100;

QLabel* MakeLabel(QWidget* parent, const char* text, int id, const char* name,
                  bool elided = false) {
    QLabel* label = elided ? new CElidedLabel(QString::fromLatin1(text), parent)
                           : new QLabel(QString::fromLatin1(text), parent);
    SetControl(label, id, QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void MakeBlue(QLabel* label) {
    QPalette blue = label->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(blue);
}

} // namespace

CConversionDlg::CConversionDlg(QWidget* parent, IMessageBoxes& boxes)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_threadProc(RunConversion), m_clock([] { return static_cast<int64_t>(std::time(nullptr)); }),
      m_boxes(boxes), m_progressCtrl(new QProgressBar(this)) {
    setWindowTitle(QString::fromLatin1(txt::kStatusTitle));

    m_fileNameLabel =
        MakeLabel(this, txt::kFileNamePlaceholder, ids::IDC_FILE_NAME, "fileNameLabel", true);
    m_fileCountLabel =
        MakeLabel(this, txt::kFileCountPlaceholder, ids::IDC_FILE_COUNT, "fileCountLabel");
    m_percentLabel = MakeLabel(this, "100%", ids::IDC_PERCENT, "percentLabel");
    m_elapsedLabel = MakeLabel(this, "00:00:00", ids::IDC_ELAPSED, "elapsedLabel");
    MakeBlue(m_percentLabel);
    MakeBlue(m_elapsedLabel);
    // A long file name is shortened in the middle rather than widening the window.
    m_fileNameLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    SetControl(m_progressCtrl, ids::IDC_PROGRESS, QStringLiteral("progressCtrl"));
    m_progressCtrl->setTextVisible(false);
    m_progressCtrl->setFixedSize(DluX(this, 171), DluY(this, 14));

    auto* cancelButton = new QPushButton(QString::fromLatin1(txt::kCancel), this);
    SetControl(cancelButton, ids::IDCANCEL, QStringLiteral("cancelButton"));
    cancelButton->setMinimumWidth(DluX(this, 50));
    cancelButton->setDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &CConversionDlg::reject);

    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(DluY(this, 2));
    layout->addWidget(m_fileNameLabel, 0, 0);
    layout->addWidget(m_fileCountLabel, 1, 0);
    // The percentage lies over the middle of the bar.
    layout->addWidget(m_progressCtrl, 2, 0);
    layout->addWidget(m_percentLabel, 2, 0, Qt::AlignCenter);
    m_percentLabel->raise();
    layout->addWidget(m_elapsedLabel, 3, 0);
    layout->addWidget(cancelButton, 4, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CConversionDlg::~CConversionDlg() {
    if (m_worker.joinable()) {
        m_control.RequestCancel();
        // The worker may be waiting for this thread to show a message.
        while (!m_progress.Finished()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, kTimerPeriodMs);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        JoinWorker();
    }
}

void CConversionDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
}

void CConversionDlg::OnInitDialog() {
    DoDataExchange();
    m_timer.start(kTimerPeriodMs, this);
    m_startTime = m_clock();
    m_nShownPercent = -1;
    m_progressCtrl->setRange(0, 100);
    m_worker = std::thread([this] {
        m_result = m_threadProc(m_job, m_control, m_progress, *this);
        m_progress.Finish();
    });
}

void CConversionDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_timer.timerId()) {
        OnTimer();
        return;
    }
    QDialog::timerEvent(event);
}

void CConversionDlg::OnTimer() {
    const int64_t elapsed = std::max<int64_t>(0, m_clock() - m_startTime);
    m_strElapsed = FormatElapsed(elapsed);
    const int32_t percent = m_progress.Percent();
    if (percent != m_nShownPercent) {
        m_strPercent = FormatText(txt::kPercentFormat, percent);
        m_nShownPercent = percent;
        m_progressCtrl->setValue(percent);
        // The bar skips redrawing small steps once it has been painted at the
        // new value, and the figure over it gets it painted there (under the
        // figure only) every time the figure changes: redraw it whole.
        m_progressCtrl->update();
        if (percent == 100)
            m_fullSince = std::chrono::steady_clock::now();
    }
    // A Cancel after the worker's last look changes nothing; the window
    // closes all the same once the worker has finished.
    if (m_progress.Finished() && PauseOver()) {
        m_timer.stop();
        JoinWorker();
        QDialog::done(m_result.m_bSucceeded ? Accepted : Rejected);
        return;
    }
    DoDataExchange();
}

void CConversionDlg::DoDataExchange() {
    m_percentLabel->setText(QString::fromStdString(m_strPercent));
    m_elapsedLabel->setText(QString::fromStdString(m_strElapsed));
}

bool CConversionDlg::PauseOver() const {
    return m_nShownPercent != 100 ||
           std::chrono::steady_clock::now() - m_fullSince >= std::chrono::milliseconds(m_nPauseMs);
}

void CConversionDlg::reject() {
    m_control.RequestCancel();
}

std::string CConversionDlg::FormatElapsed(int64_t seconds) {
    const int64_t hours = seconds / 3600;
    const int64_t minutes = (seconds - hours * 3600) / 60;
    const int64_t rest = seconds - (hours * 60 + minutes) * 60;
    return FormatText(txt::kElapsedFormat, static_cast<int>(hours), static_cast<int>(minutes),
                      static_cast<int>(rest));
}

void CConversionDlg::RunOnInterfaceThread(const std::function<void()>& work) {
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void CConversionDlg::ShowMessage(const std::string& text, const std::string& cause) {
    RunOnInterfaceThread([this, &text, &cause] {
        m_boxes.Show(this, text, IMessageBoxes::Icon::Error, IMessageBoxes::Buttons::Ok, cause);
    });
}

void CConversionDlg::SetFileNameLabel(const std::string& text) {
    RunOnInterfaceThread([this, &text] { m_fileNameLabel->setText(QString::fromStdString(text)); });
}

void CConversionDlg::SetFileCountLabel(const std::string& text) {
    RunOnInterfaceThread(
        [this, &text] { m_fileCountLabel->setText(QString::fromStdString(text)); });
}

void CConversionDlg::JoinWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}
