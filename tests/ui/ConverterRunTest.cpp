// Convert in the main window through the real engine: a single image, a
// folder, and a run that fails, with the messages in their places.

#include "UiTestSupport.h"

#include "ProfileFixtures.h"
#include "TempDir.h"
#include "TiffFixtures.h"

#include <QTest>

#include <fstream>
#include <memory>

namespace {

const char* const kRgbProfile = "colord/sRGB.icc";
const char* const kCmykProfile = "ghostscript/default_cmyk.icc";

bool IsCmykImage(const std::string& path, uint32_t width, uint32_t height) {
    const fx::TiffContents contents = fx::ReadTiff(path);
    return contents.ok && contents.width == width && contents.height == height &&
           contents.samplesPerPixel == 4 && contents.bitsPerSample == 8 &&
           contents.photometric == fx::kPhotometricSeparated;
}

} // namespace

class ConverterRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void singleImageRunEmptiesTheDestination();
    void folderRunConvertsEveryTiff();
    void failedRunShowsItsErrorOverTheStatusWindow();

private:
    std::unique_ptr<UiSandbox> m_sandbox;
    std::string m_rgb;
    std::string m_cmyk;
};

void ConverterRunTest::initTestCase() {
    m_sandbox = std::make_unique<UiSandbox>();
    if (!fx::SystemProfileExists(kRgbProfile) || !fx::SystemProfileExists(kCmykProfile)) {
        QSKIP("the system's sRGB and CMYK profiles are not installed");
    }
    m_rgb = fx::SystemProfile(kRgbProfile);
    m_cmyk = fx::SystemProfile(kCmykProfile);
}

void ConverterRunTest::singleImageRunEmptiesTheDestination() {
    fx::TempDir temp;
    const std::string source = temp.file("harbour.tif");
    QVERIFY(fx::WriteTiff(source, fx::RgbSpec(16, 8)));
    MainWindow window;
    window.Fill(source, m_rgb, temp.file("harbour-print"), m_cmyk);
    window.Check("embedCheck")->setChecked(true);

    window.Click("convertButton");

    QCOMPARE(window.Texts(), std::vector<std::string>({"Profile conversion complete."}));
    QVERIFY(window.boxes.shown[0].icon == IMessageBoxes::Icon::None);
    QCOMPARE(window.boxes.shown[0].parent, static_cast<QWidget*>(&window.dialog));
    QVERIFY(window.Edit("destImageEdit")->text().isEmpty());
    QCOMPARE(window.Edit("sourceImageEdit")->text().toStdString(), source);
    QVERIFY(window.Check("embedCheck")->isChecked());
    const std::string written = temp.file("harbour-print.tif");
    QVERIFY(IsCmykImage(written, 16, 8));
    QVERIFY(fx::ReadTiff(written).icc == fx::ReadFileBytes(m_cmyk));

    // The emptied destination has to be named again.
    window.Click("convertButton");
    QCOMPARE(window.Texts().back(),
             std::string("Both source and destination images and profiles must be specified"));
}

void ConverterRunTest::folderRunConvertsEveryTiff() {
    fx::TempDir temp;
    const std::string in = temp.mkdir("in");
    const std::string out = temp.mkdir("out");
    QVERIFY(fx::WriteTiff(in + "/a.tif", fx::RgbSpec(8, 4)));
    QVERIFY(fx::WriteTiff(in + "/b.tif", fx::RgbSpec(6, 5)));
    std::ofstream(in + "/notes.txt") << "not an image";
    MainWindow window;
    QTest::mouseClick(window.Check("multipleFilesCheck"), Qt::LeftButton);
    window.Fill(in + "/", m_rgb, out + "/", m_cmyk);

    window.Click("convertButton");

    QCOMPARE(window.Texts(), std::vector<std::string>({"Profile conversion complete."}));
    QVERIFY(window.Edit("destImageEdit")->text().isEmpty());
    QVERIFY(IsCmykImage(out + "/a.tif", 8, 4));
    QVERIFY(IsCmykImage(out + "/b.tif", 6, 5));
    QVERIFY(!fx::PathExists(out + "/notes.txt"));
    QVERIFY(window.Check("multipleFilesCheck")->isChecked());
}

void ConverterRunTest::failedRunShowsItsErrorOverTheStatusWindow() {
    fx::TempDir temp;
    const std::string source = temp.file("scan.tif");
    std::ofstream(source) << "this is no TIFF";
    MainWindow window;
    window.Fill(source, m_rgb, temp.file("scan-print.jpeg"), m_cmyk);
    QString destDuringRun;
    window.boxes.onShow = [&](const FakeMessageBoxes::Shown& shown) {
        if (window.boxes.shown.size() == 1) {
            destDuringRun = window.Edit("destImageEdit")->text();
        }
        (void)shown;
    };

    window.Click("convertButton");

    QCOMPARE(window.Texts(), std::vector<std::string>({"Invalid Tiff file - '" + source + "'",
                                                       "Conversion cancelled."}));
    const FakeMessageBoxes::Shown& error = window.boxes.shown[0];
    QVERIFY(error.icon == IMessageBoxes::Icon::Error);
    QCOMPARE(error.parentClass, QStringLiteral("CConversionDlg"));
    QVERIFY(error.parentVisible);
    QVERIFY(error.onInterfaceThread);
    const FakeMessageBoxes::Shown& cancelled = window.boxes.shown[1];
    QVERIFY(cancelled.icon == IMessageBoxes::Icon::Error);
    QCOMPARE(cancelled.parent, static_cast<QWidget*>(&window.dialog));
    // The field showed the name the run would write, and keeps it.
    QCOMPARE(destDuringRun.toStdString(), temp.file("scan-print.tif"));
    QCOMPARE(window.Edit("destImageEdit")->text().toStdString(), temp.file("scan-print.tif"));
    QVERIFY(!fx::PathExists(temp.file("scan-print.tif")));
}

QTEST_MAIN(ConverterRunTest)
#include "ConverterRunTest.moc"
