// The "Conversion Status" window: what it shows while a run goes on, how the end
// of the run and Cancel close it, and the run's requests from the worker thread.
// (A real run, and a Cancel that stops it, go through the main window's tests.)

#include <QtTest>

#include "ConversionDlg.h"
#include "Fakes.h"

namespace {

// The window over a scripted run (see Scripted) and a clock the test sets.
struct Status {
    std::atomic<int> end = 0;
    int64_t now = 0;
    FakeBoxes boxes;
    CConversionDlg dialog{nullptr, boxes};

    explicit Status(std::function<void(CConversionJob*)> work = [](CConversionJob*) {}) {
        dialog.m_threadProc = Scripted(end, work);
        dialog.m_clock = [this] { return now; };
    }
    ~Status() { end = end ? int(end) : 1; } // the window waits for its worker
    QString Text(const char* label) { return dialog.findChild<QLabel*>(label)->text(); }
    void Cancel() { QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton); }
};

} // namespace

class StatusWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The clock counts from the moment the window is shown, in hours that do not
    // wrap at a day; the figure and the bar follow the run's percentage.
    void ticksShowTimeAndProgress() {
        Status s;
        s.now = 5000;
        s.dialog.show();
        const std::tuple<int64_t, int, QString> ticks[] = {
            {5000, 0, "00:00:00 0% 0"},          {5059, 1, "00:00:59 1% 1"},
            {8725, 64, "01:02:05 64% 64"},       {5000 + 86399, 99, "23:59:59 99% 99"},
            {365061, 100, "100:01:01 100% 100"}, {4990, 100, "00:00:00 100% 100"},
        };
        for (const auto& [now, percent, shown] : ticks) {
            s.now = now;
            s.dialog.m_nPercent = percent;
            s.dialog.OnTimer();
            QCOMPARE(s.Text("elapsedLabel") + " " + s.Text("percentLabel") + " " +
                         QString::number(s.dialog.findChild<QProgressBar*>()->value()),
                     shown);
        }
    }

    // The window closes once the run has finished, accepted when it succeeded.
    // Cancel (the button, Escape, the close box) only asks the run to stop: the
    // window stays until the run has given up.
    void closesWhenTheRunEnds() {
        const std::tuple<bool, int, bool, int> cases[] = {
            // cancel first, how the run ends, cancel after the run's last look, result
            {false, 2, false, QDialog::Accepted},
            {true, 1, false, QDialog::Rejected},
            {false, 2, true, QDialog::Accepted},
        };
        for (const auto& [cancelFirst, ending, cancelLate, result] : cases) {
            Status s;
            s.dialog.show();
            if (cancelFirst) {
                s.Cancel();
                QTest::keyClick(&s.dialog, Qt::Key_Escape);
                QVERIFY(!s.dialog.close());
                QTest::qWait(350); // a few ticks
                QVERIFY(s.dialog.isVisible() && s.dialog.m_bCancelRequested);
            }
            s.end = ending;
            while (cancelLate && !s.dialog.m_bFinished)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (cancelLate)
                s.Cancel();
            QTRY_VERIFY(!s.dialog.isVisible());
            QCOMPARE(s.dialog.result(), result);
            QCOMPARE(s.boxes.shown, QStringList());
        }
    }

    // The run's requests come from the worker thread; the window carries them out
    // on its own thread while the worker waits, and its clock keeps going. A run
    // that fails closes the window rejected.
    void runRequestsShowWhileTheWindowIsUp() {
        Status s([](CConversionJob* job) {
            job->m_pObserver->SetFileNameLabel("scan");
            job->m_pObserver->SetFileCountLabel("File 1 of 2");
            job->m_pObserver->ShowMessage("Invalid Tiff file - '/in/scan.tif'");
        });
        s.end = 1; // once the message is answered
        QString during;
        s.boxes.onShow = [&s, &during] {
            s.now = 2;
            QTRY_COMPARE(s.Text("elapsedLabel"), QString("00:00:02"));
            during = s.Text("fileNameLabel") + "|" + s.Text("fileCountLabel");
        };
        QCOMPARE(s.dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(s.boxes.shown,
                 QStringList{"error CConversionDlg: Invalid Tiff file - '/in/scan.tif'"});
        QCOMPARE(during, QString("scan|File 1 of 2"));
    }
};

QTEST_MAIN(StatusWindowTest)
#include "StatusWindowTest.moc"
