// Grabs the main window and the status window into PNG files for the README,
// without a display: run with QT_QPA_PLATFORM=offscreen, the output folder and
// optionally a suffix for the file names (scripts/screenshots.sh does this).

#include "AboutDlg.h"
#include "ConversionDlg.h"
#include "ConverterDlg.h"
#include "HelpDlg.h"
#include "MessageBoxes.h"
#include "ToolTipStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

// What is on screen, as the window system shows it.
bool Save(QWidget* window, const QString& path) {
    Settle();
    QPixmap shot = window->screen()->grabWindow(window->winId());
    // The offscreen screen keeps logical pixels only; at a larger scale the
    // window draws itself again at full resolution.
    if (shot.width() < qRound(window->width() * window->devicePixelRatioF())) {
        shot = window->grab();
    }
    const bool saved = shot.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

void FillMainWindow(CConverterDlg& window) {
    window.findChild<QLineEdit*>(QStringLiteral("sourceImageEdit"))
        ->setText(QStringLiteral("/home/ann/Pictures/harbour.tif"));
    window.findChild<QLineEdit*>(QStringLiteral("sourceProfileEdit"))
        ->setText(QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc"));
    window.findChild<QLineEdit*>(QStringLiteral("destImageEdit"))
        ->setText(QStringLiteral("/home/ann/Print/harbour-cmyk.tif"));
    window.findChild<QLineEdit*>(QStringLiteral("destProfileEdit"))
        ->setText(QStringLiteral("/usr/share/color/icc/ghostscript/default_cmyk.icc"));
    window.findChild<QCheckBox*>(QStringLiteral("embedCheck"))->setChecked(true);
}

// The first field has the focus; its text should not look selected.
void ClearSelection(CConverterDlg& window) {
    window.findChild<QLineEdit*>(QStringLiteral("sourceImageEdit"))->deselect();
}

// The status window at 40 % of a folder run, reached 1 % per tick as a run
// does; the worker only waits.
bool GrabStatusWindow(QWidget* owner, const QString& path) {
    CConversionDlg status(owner, StandardMessageBoxes());
    status.m_clock = [] { return int64_t(1000); };
    status.m_threadProc = [](const JobSpec&, RunControl& control, RunProgress&,
                             IConversionObserver&) {
        while (!control.CancelRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return RunResult();
    };
    status.show();
    status.m_clock = [] { return int64_t(1000 + 2 * 60 + 17); };
    status.SetFileNameLabel(
        "Harbour at dawn from the north pier with the morning ferry, final edit");
    status.SetFileCountLabel("File 3 of 8");
    for (int percent = 0; percent <= 40; ++percent) {
        status.m_progress.SetPercent(percent);
        status.OnTimer();
        Settle();
    }
    return Save(&status, path);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setStyle(new CToolTipStyle);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [NAME_SUFFIX]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const auto file = [&](const char* name) {
        return folder + QLatin1Char('/') + QLatin1String(name) + suffix + QStringLiteral(".png");
    };
    QDir().mkpath(folder);

    CConverterDlg window;
    FillMainWindow(window);
    window.show();
    Settle();
    ClearSelection(window);
    bool ok = Save(&window, file("main-window"));
    ok = GrabStatusWindow(&window, file("status-window")) && ok;
    CHelpDlg help(&window);
    help.show();
    ok = Save(&help, file("help-window")) && ok;
    CAboutDlg about(&window);
    about.show();
    ok = Save(&about, file("about-window")) && ok;
    return ok ? 0 : 1;
}
