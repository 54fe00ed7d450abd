// The status window: its timer, its Cancel, its closing and the worker's
// requests, with a scripted worker and a clock the test sets.

#include "ConversionDlg.h"
#include "ScriptedWorker.h"
#include "UiFakes.h"

#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

QLabel* Label(const QWidget& window, const char* name) {
    return window.findChild<QLabel*>(QString::fromLatin1(name));
}

QProgressBar* Bar(const QWidget& window) {
    return window.findChild<QProgressBar*>(QStringLiteral("progressCtrl"));
}

QPushButton* CancelButton(const QWidget& window) {
    return window.findChild<QPushButton*>(QStringLiteral("cancelButton"));
}

void Flush() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

} // namespace

class ConversionDlgTest : public QObject {
    Q_OBJECT

private slots:
    void firstTickAndElapsedTime();
    void elapsedTextKeepsCountingHours();
    void unchangedPercentageLeavesBarAlone();
    void barShowsItsFillOnScreenAtEveryStep();
    void onlyTheFiguresAreBlue();
    void cancelOnlyRequestsTheStop();
    void lateCancelStillClosesWithTheRunResult();
    void workerRequestsRunOnTheInterfaceThread();
    void destroyingTheWindowStopsAndJoinsTheWorker();
};

void ConversionDlgTest::firstTickAndElapsedTime() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    ScriptedWorker worker;
    dialog.m_threadProc = worker.Proc();
    int64_t now = 5000;
    dialog.m_clock = [&now] { return now; };
    dialog.show();

    // Initialisation empties the placeholders; the labels keep theirs.
    QCOMPARE(Label(dialog, "percentLabel")->text(), QString());
    QCOMPARE(Label(dialog, "elapsedLabel")->text(), QString());
    QCOMPARE(Label(dialog, "fileNameLabel")->text(), QStringLiteral("File Name"));
    QCOMPARE(Label(dialog, "fileCountLabel")->text(), QStringLiteral("File 0000 of 0000"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Conversion Status"));

    dialog.OnTimer();
    QCOMPARE(Label(dialog, "elapsedLabel")->text(), QStringLiteral("00:00:00"));
    QCOMPARE(Label(dialog, "percentLabel")->text(), QStringLiteral("0%"));
    QCOMPARE(Bar(dialog)->minimum(), 0);
    QCOMPARE(Bar(dialog)->maximum(), 100);
    QCOMPARE(Bar(dialog)->value(), 0);

    now += 3725;
    dialog.m_nPercent = 64;
    dialog.OnTimer();
    QCOMPARE(Label(dialog, "elapsedLabel")->text(), QStringLiteral("01:02:05"));
    QCOMPARE(Label(dialog, "percentLabel")->text(), QStringLiteral("64%"));
    QCOMPARE(Bar(dialog)->value(), 64);

    now = 5000 + 100 * 3600;
    dialog.OnTimer();
    QCOMPARE(Label(dialog, "elapsedLabel")->text(), QStringLiteral("100:00:00"));
    QVERIFY(dialog.isVisible());

    worker.Release(true);
    QTRY_VERIFY(dialog.m_bFinished.load());
    dialog.OnTimer();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void ConversionDlgTest::elapsedTextKeepsCountingHours() {
    QCOMPARE(CConversionDlg::FormatElapsed(0), std::string("00:00:00"));
    QCOMPARE(CConversionDlg::FormatElapsed(59), std::string("00:00:59"));
    QCOMPARE(CConversionDlg::FormatElapsed(3600 * 24 - 1), std::string("23:59:59"));
    QCOMPARE(CConversionDlg::FormatElapsed(3600 * 25 + 61), std::string("25:01:01"));
    QCOMPARE(CConversionDlg::FormatElapsed(3600 * 100), std::string("100:00:00"));
}

void ConversionDlgTest::unchangedPercentageLeavesBarAlone() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    ScriptedWorker worker;
    dialog.m_threadProc = worker.Proc();
    int64_t now = 100;
    dialog.m_clock = [&now] { return now; };
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.m_nPercent = 37;
    dialog.OnTimer();
    Flush();

    PaintCounter barPaints;
    PaintCounter elapsedPaints;
    Bar(dialog)->installEventFilter(&barPaints);
    Label(dialog, "elapsedLabel")->installEventFilter(&elapsedPaints);
    QSignalSpy barChanges(Bar(dialog), &QProgressBar::valueChanged);
    for (int tick = 0; tick < 5; ++tick) {
        ++now;
        dialog.OnTimer();
        Flush();
    }
    // The clock moved on and was drawn; the bar and its figure were not.
    QCOMPARE(Label(dialog, "elapsedLabel")->text(), QStringLiteral("00:00:05"));
    QVERIFY(elapsedPaints.paints > 0);
    QCOMPARE(barPaints.paints, 0);
    QCOMPARE(barChanges.count(), 0);
    QCOMPARE(Label(dialog, "percentLabel")->text(), QStringLiteral("37%"));

    dialog.m_nPercent = 38;
    dialog.OnTimer();
    Flush();
    QVERIFY(barPaints.paints > 0);
    QCOMPARE(barChanges.count(), 1);
    QCOMPARE(Label(dialog, "percentLabel")->text(), QStringLiteral("38%"));
    worker.Release(true);
}

// A run moves the bar 1 % per tick while the figure over it changes; what is
// on screen (not a fresh grab() of the bar) must show the fill.
void ConversionDlgTest::barShowsItsFillOnScreenAtEveryStep() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    ScriptedWorker worker;
    dialog.m_threadProc = worker.Proc();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (int percent = 0; percent <= 40; ++percent) {
        dialog.m_nPercent = percent;
        dialog.OnTimer();
        Flush();
    }
    const QImage screen = dialog.screen()->grabWindow(dialog.winId()).toImage();
    const QProgressBar* bar = Bar(dialog);
    const qreal scale = screen.width() / qreal(dialog.width());
    const QColor highlight = bar->palette().color(QPalette::Highlight);
    const QColor base = bar->palette().color(QPalette::Base);
    const int y = bar->geometry().center().y();
    // From just inside the left edge to a quarter of the bar: left of the
    // figure, and well inside the 40 % that is done.
    for (int x = bar->x() + 4; x < bar->x() + bar->width() / 4; ++x) {
        const QColor pixel = screen.pixelColor(int(x * scale), int(y * scale));
        const auto distance = [&pixel](const QColor& to) {
            return std::abs(pixel.red() - to.red()) + std::abs(pixel.green() - to.green()) +
                   std::abs(pixel.blue() - to.blue());
        };
        QVERIFY2(distance(highlight) < distance(base),
                 qPrintable(QStringLiteral("x=%1 is %2").arg(x).arg(pixel.name())));
    }
    worker.Release(true);
}

void ConversionDlgTest::onlyTheFiguresAreBlue() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    const QColor blue(0, 0, 255);
    QCOMPARE(Label(dialog, "percentLabel")->palette().color(QPalette::WindowText), blue);
    QCOMPARE(Label(dialog, "elapsedLabel")->palette().color(QPalette::WindowText), blue);
    QVERIFY(Label(dialog, "fileNameLabel")->palette().color(QPalette::WindowText) != blue);
    QVERIFY(Label(dialog, "fileCountLabel")->palette().color(QPalette::WindowText) != blue);
}

void ConversionDlgTest::cancelOnlyRequestsTheStop() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    ScriptedWorker worker;
    dialog.m_threadProc = worker.Proc();
    dialog.show();
    dialog.OnTimer();

    QTest::mouseClick(CancelButton(dialog), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.m_bCancelRequested.load());
    // Twice, by Escape and by the close box: still nothing but the request.
    QTest::mouseClick(CancelButton(dialog), Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
    QVERIFY(CancelButton(dialog)->isEnabled());

    QTRY_VERIFY(dialog.m_bFinished.load());
    QVERIFY(dialog.isVisible());
    dialog.OnTimer();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(boxes.shown.empty());
}

void ConversionDlgTest::lateCancelStillClosesWithTheRunResult() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    ScriptedWorker worker;
    dialog.m_threadProc = worker.Proc();
    dialog.show();
    worker.Release(true);
    QTRY_VERIFY(dialog.m_bFinished.load());

    // The worker has had its last look; this Cancel leaves m_bStop set.
    QTest::mouseClick(CancelButton(dialog), Qt::LeftButton);
    QVERIFY(dialog.m_bStop.load());
    dialog.OnTimer();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void ConversionDlgTest::workerRequestsRunOnTheInterfaceThread() {
    FakeMessageBoxes boxes;
    CConversionDlg dialog(nullptr, boxes);
    int64_t now = 0;
    dialog.m_clock = [&now] { return now; };
    ScriptedWorker worker;
    worker.before = [](CConversionJob* job) {
        job->m_pObserver->SetFileNameLabel("scan");
        job->m_pObserver->SetFileCountLabel("File 1 of 2");
        job->m_pObserver->ShowMessage("Invalid Tiff file - '/in/scan.tif'");
        job->m_bStop = true;
    };
    // Ends unsuccessfully as soon as the message has been answered.
    worker.Release(false);
    dialog.m_threadProc = worker.Proc();
    QStringList labelsDuringMessage;
    boxes.onShow = [&](const FakeMessageBoxes::Shown&) {
        labelsDuringMessage << Label(dialog, "fileNameLabel")->text()
                            << Label(dialog, "fileCountLabel")->text();
        // The worker waits for the answer while the clock keeps being shown.
        now = 2;
        QTRY_COMPARE(Label(dialog, "elapsedLabel")->text(), QStringLiteral("00:00:02"));
        QVERIFY(!dialog.m_bFinished.load());
    };

    const int result = dialog.exec();

    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(boxes.shown.size(), size_t(1));
    const FakeMessageBoxes::Shown& shown = boxes.shown.front();
    QCOMPARE(shown.text, std::string("Invalid Tiff file - '/in/scan.tif'"));
    QVERIFY(shown.icon == IMessageBoxes::Icon::Error);
    QCOMPARE(shown.parent, static_cast<QWidget*>(&dialog));
    QVERIFY(shown.parentVisible);
    QVERIFY(shown.onInterfaceThread);
    QCOMPARE(labelsDuringMessage, QStringList({"scan", "File 1 of 2"}));
}

void ConversionDlgTest::destroyingTheWindowStopsAndJoinsTheWorker() {
    FakeMessageBoxes boxes;
    ScriptedWorker worker;
    worker.before = [](CConversionJob* job) { job->m_pObserver->ShowMessage("late"); };
    auto* dialog = new CConversionDlg(nullptr, boxes);
    dialog->m_threadProc = worker.Proc();
    dialog->show();
    // The worker may be inside its message request; the window answers it
    // while it waits for the worker to end.
    delete dialog;
    QVERIFY(worker.Exited());
    QCOMPARE(boxes.shown.size(), size_t(1));
}

QTEST_MAIN(ConversionDlgTest)
#include "ConversionDlgTest.moc"
