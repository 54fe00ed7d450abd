// Chromaport: one modal window; the program ends when it closes. The first
// argument other than Qt's own, if any, is an image or folder to convert
// (what a file manager's "Open with" passes); others are ignored.

#include "AppNames.h"
#include "ConverterDlg.h"
#include "PendingFile.h"
#include "StandardStreams.h"
#include "ToolTipStyle.h"

#include <QApplication>

#include <signal.h>

int main(int argc, char* argv[]) {
    EnsureStandardStreamsOpen();
    // Killed or interrupted from a terminal, the program takes the image it
    // was writing with it rather than leaving a hidden temporary file.
    RemovePendingFilesOnSignals(true);
    // Past the file-size limit (ulimit -f) a write then fails like one on a
    // full disk, and the run says so and removes its hidden file instead of
    // the program dying silently.
    signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(app::kOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(app::kAppName));
    QGuiApplication::setDesktopFileName(QStringLiteral("chromaport"));
    QApplication::setStyle(new CToolTipStyle);

    CConverterDlg dialog;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1)
        dialog.OpenPath(arguments.at(1).toStdString());
    dialog.exec();
    return 0;
}
