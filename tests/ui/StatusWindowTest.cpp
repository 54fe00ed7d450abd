// The "Conversion Status" window: what it shows while a run goes on, how the end
// of the run and Cancel close it, and the run's requests from the worker thread.
// (A real run, and a Cancel that stops it, go through the main window's tests.)

#include "Fakes.h"

namespace {

// The window over a scripted run (see Scripted) and a clock the test sets.
struct Status {
    std::atomic<int> end = 0;
    int64_t now = 0;
    FakeBoxes boxes;
    CConversionDlg dialog{nullptr, boxes};

    explicit Status(ScriptedWork work = [](RunProgress&, IConversionObserver&) {}) {
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
    // The window closes once the run has finished, accepted when it succeeded,
    // after a second on a full bar when the run reached 100 %. Cancel (the
    // button, Escape, the close box) only asks the run to stop: the window stays
    // until the run has given up.
    void closesWhenTheRunEnds() {
        const std::tuple<bool, int, bool, int, int> cases[] = {
            // cancel first, how the run ends, cancel after the run's last look, result,
            // the run's last percentage
            {true, 1, false, QDialog::Rejected, 0},
            {false, 2, true, QDialog::Accepted, 99},
            {false, 2, false, QDialog::Accepted, 100},
        };
        for (const auto& [cancelFirst, ending, cancelLate, result, percent] : cases) {
            Status s([percent = percent](RunProgress& p, IConversionObserver&) {
                p.SetPercent(percent);
            });
            s.dialog.show();
            if (cancelFirst) {
                s.Cancel();
                QTest::keyClick(&s.dialog, Qt::Key_Escape);
                QVERIFY(!s.dialog.close());
                QTest::qWait(350); // a few ticks
                QVERIFY(s.dialog.isVisible() && s.dialog.m_control.CancelRequested());
            }
            s.end = ending;
            while (cancelLate && !s.dialog.m_progress.Finished())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (cancelLate)
                s.Cancel();
            if (percent == 100) {
                QTRY_VERIFY(s.dialog.m_progress.Finished());
                QTest::qWait(400);
                QVERIFY(s.dialog.isVisible());
                QCOMPARE(s.Text("percentLabel"), QString("100%"));
            }
            QTRY_VERIFY(!s.dialog.isVisible());
            QCOMPARE(s.dialog.result(), result);
            QCOMPARE(s.boxes.shown, QStringList());
        }
    }

    // The run's requests come from the worker thread; the window carries them out
    // on its own thread while the worker waits, and goes on showing the time since
    // it opened (in hours that do not wrap at a day) and the run's percentage, on
    // the bar too. A run that fails closes the window rejected.
    void runRequestsShowWhileTheWindowIsUp() {
        Status s([](RunProgress& progress, IConversionObserver& observer) {
            observer.SetFileNameLabel("scan");
            observer.SetFileCountLabel("File 1 of 2");
            progress.SetPercent(64);
            observer.ShowMessage("Invalid Tiff file - '/in/scan.tif'", "");
        });
        s.end = 1; // once the message is answered
        s.boxes.onShow = [&s] {
            s.now = 100 * 3600 + 61;
            const auto shown = [&s] {
                return QStringList{s.Text("fileNameLabel"), s.Text("fileCountLabel"),
                                   s.Text("elapsedLabel"), s.Text("percentLabel"),
                                   QString::number(s.dialog.findChild<QProgressBar*>()->value())}
                    .join('|');
            };
            QTRY_COMPARE(shown(), QString("scan|File 1 of 2|100:01:01|64%|64"));
        };
        QCOMPARE(s.dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(s.boxes.shown,
                 QStringList{"error CConversionDlg: Invalid Tiff file - '/in/scan.tif'"});
    }
};

QTEST_MAIN(StatusWindowTest)
#include "StatusWindowTest.moc"
