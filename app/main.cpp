// Chromaport: one modal window; the program ends when it closes. Arguments
// other than Qt's own are ignored.

#include "AppNames.h"
#include "ConverterDlg.h"
#include "PendingFile.h"
#include "StandardStreams.h"
#include "ToolTipStyle.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    EnsureStandardStreamsOpen();
    // Killed or interrupted from a terminal, the program takes the image it
    // was writing with it rather than leaving a hidden temporary file.
    RemovePendingFilesOnSignals(true);
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(app::kOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(app::kAppName));
    QGuiApplication::setDesktopFileName(QStringLiteral("chromaport"));
    QApplication::setStyle(new CToolTipStyle);

    CConverterDlg dialog;
    dialog.exec();
    return 0;
}
