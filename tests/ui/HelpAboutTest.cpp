// The help text and window, the version stamp and the About window.

#include "AboutDlg.h"
#include "HelpDlg.h"
#include "HelpText.h"
#include "VersionStamp.h"

#include "TempDir.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <ctime>
#include <fstream>
#include <utime.h>

class HelpAboutTest : public QObject {
    Q_OBJECT

private slots:
    void helpWindowKeepsEveryAddressOnOneLine();
    void helpWindowShowsTheTextReadOnly();
    void versionStampIsTheFileTimeInLocalTime();
    void aboutWindowShowsTheProgramsStamp();
};

// No address in the help box may be broken over two lines, whatever the
// box's wrapping does with the font in use.
void HelpAboutTest::helpWindowKeepsEveryAddressOnOneLine() {
    CHelpDlg help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    auto* edit = help.findChild<QPlainTextEdit*>(QStringLiteral("editHelp"));
    int addresses = 0;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const QString text = block.text().mid(line.textStart(), line.textLength());
            const QRegularExpression address(QStringLiteral("https?://[^\\s)]*"));
            for (auto match = address.globalMatch(text); match.hasNext();) {
                const QRegularExpressionMatch found = match.next();
                ++addresses;
                // The address goes on to its closing parenthesis on this line.
                QVERIFY2(text.indexOf(QLatin1Char(')'), found.capturedEnd()) == found.capturedEnd(),
                         qPrintable(text));
            }
        }
    }
    QCOMPARE(addresses, 2);
}

void HelpAboutTest::helpWindowShowsTheTextReadOnly() {
    CHelpDlg help;
    help.show();
    QCOMPARE(help.windowTitle(), QStringLiteral("Chromaport Help"));
    auto* edit = help.findChild<QPlainTextEdit*>(QStringLiteral("editHelp"));
    QVERIFY(edit->isReadOnly());
    QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(edit->verticalScrollBar()->maximum() > 0);
    QVERIFY(edit->tabStopDistance() >= 4 * edit->fontMetrics().averageCharWidth());
    QString shown = QString::fromStdString(BuildHelpText());
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(edit->toPlainText(), shown);
    QVERIFY(edit->toPlainText().contains(QStringLiteral("\tNOTE 1:\tMost photo lab")));
    auto* ok = help.findChild<QPushButton*>(QStringLiteral("okButton"));
    QVERIFY(ok->isDefault());
    QCOMPARE(help.focusWidget(), static_cast<QWidget*>(ok));
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!help.isVisible());
    QCOMPARE(help.result(), int(QDialog::Accepted));
}

void HelpAboutTest::versionStampIsTheFileTimeInLocalTime() {
    fx::TempDir temp;
    const std::string file = temp.file("program");
    std::ofstream(file) << "x";
    std::tm written{};
    written.tm_year = 2011 - 1900;
    written.tm_mon = 2;
    written.tm_mday = 3;
    written.tm_hour = 9;
    written.tm_min = 5;
    written.tm_isdst = -1;
    const std::time_t when = std::mktime(&written);
    const utimbuf times{when, when};
    QCOMPARE(utime(file.c_str(), &times), 0);
    QCOMPARE(GetFileVersionStamp(file), std::string("110303.0905"));
    QCOMPARE(GetFileVersionStamp(temp.file("missing")), std::string());
    // The strftime limit: an over-long result gives nothing.
    QCOMPARE(FormatLocalTime(when, std::string(200, 'x').c_str()), std::string());
}

void HelpAboutTest::aboutWindowShowsTheProgramsStamp() {
    const QString stamp = QString::fromStdString(GetVersionStamp());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{6}\\.\\d{4}$")).match(stamp).hasMatch());
    QCOMPARE(stamp.toStdString(),
             GetFileVersionStamp(QCoreApplication::applicationFilePath().toStdString()));
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Chromaport"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(),
             QStringLiteral("Chromaport version: ") + stamp);
    const QString year = QString::number(QDate::currentDate().year());
    QVERIFY(about.findChild<QLabel*>(QStringLiteral("noticeLabel"))->text().contains(year));
}

QTEST_MAIN(HelpAboutTest)
#include "HelpAboutTest.moc"
