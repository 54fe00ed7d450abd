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

#include <ctime>
#include <fstream>
#include <utime.h>

class HelpAboutTest : public QObject {
    Q_OBJECT

private slots:
    void helpTextIsTheNineteenPiecesJoined();
    void helpWindowShowsTheTextReadOnly();
    void versionStampIsTheFileTimeInLocalTime();
    void aboutWindowShowsTheProgramsStamp();
};

void HelpAboutTest::helpTextIsTheNineteenPiecesJoined() {
    const char* const pieces[19] = {
        "This application converts tiff images from one color space to another.\r\n\r\n",
        "1:\tSelect a source image (the one you want to convert) and the color space this "
        "image is in.\r\n",
        "\tNOTE: The \"Process Multiple Files\" option processes all tiff images in the "
        "source folder.\r\n\r\n",
        "2:\tChoose the image you want to create (can be new or existing file) and the color "
        "space you\r\n",
        "\twant it to have. If processing multiple files, this is the output folder that will "
        "be used.\r\n\r\n",
        "3:\tChoose the rendering intent to use.\r\n\r\n",
        "4:\tCheck the \"Embed profile\" box only if you want to embed the destination profile "
        "in the\r\n\tconverted image.\r\n",
        "\tNOTE 1:\tMost photo lab printers work best with images NOT having embedded "
        "profiles.\r\n",
        "\tNOTE 2:\tEmbedding profiles is useful to evaluate how different rendering options "
        "work.\r\n",
        "\t\tOpen the converted image in a color managed application to see the "
        "difference\r\n",
        "\t\tbetween rendering intents.\r\n\r\n",
        "LIMITATIONS:\r\n\r\n",
        "- \r\n",
        "- We offer NO SUPPORT for this tool. If you do not like it, do not use it.\r\n",
        "- Only 8-bit Tiff format images are supported. If jpeg output is needed, resave the "
        "converted images using a different application.\r\n",
        "- Some layered images are supported. All converted documents will be flattened.\r\n",
        "- Color conversions do not use Black Point Compensation. This can compress shadow "
        "detail, particularly with Relative Colorimetric rendering.\r\n",
        "- Absolute Colorimetric conversions are not supported.\r\n\r\n",
        "This product includes software developed by The International Color Consortium "
        "(http://www.color.org) and Silicon Graphics.",
    };
    std::string expected;
    for (const char* piece : pieces) {
        expected += piece;
    }
    const std::string text = BuildHelpText();
    QCOMPARE(text, expected);
    QVERIFY(text.rfind("This application converts tiff images", 0) == 0);
    QVERIFY(text.size() > 22 && text.compare(text.size() - 23, 23, ") and Silicon Graphics.") == 0);
    QVERIFY(text.find("in the destination folder") == std::string::npos);
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
