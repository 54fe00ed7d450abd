// Chromaport: one modal window; the program ends when it closes. Arguments
// other than Qt's own are ignored.

#include "AppNames.h"
#include "ConverterDlg.h"
#include "ToolTipStyle.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(app::kOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(app::kAppName));
    QGuiApplication::setDesktopFileName(QStringLiteral("chromaport"));
    QApplication::setStyle(new CToolTipStyle);

    CConverterDlg dialog;
    dialog.exec();
    return 0;
}
