// The settings store and the colour profile folder lookup.

#include "Settings.h"
#include "ColorDirectory.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void valuesAreKeptPerSectionAndEntry();
    void colorFolderFollowsTheXdgDirectories();

private:
    fx::TempDir m_config;
};

void SettingsTest::initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(m_config.path()));
}

void SettingsTest::valuesAreKeptPerSectionAndEntry() {
    QCOMPARE(ReadSetting("Image Folders", "Source Path"), std::string());
    QVERIFY(WriteSetting("Image Folders", "Source Path", "/photos/in/"));
    QVERIFY(WriteSetting("Image Folders", "Destination Path", "/photos/out/"));
    QVERIFY(WriteSetting("Image Folders", "Destination Path", "/photos/prints/"));
    QCOMPARE(ReadSetting("Image Folders", "Source Path"), std::string("/photos/in/"));
    QCOMPARE(ReadSetting("Image Folders", "Destination Path"), std::string("/photos/prints/"));
    QCOMPARE(ReadSetting("Other", "Source Path"), std::string());

    // The file under Larkspur/Chromaport holds them for the next run.
    QFile file(QString::fromStdString(m_config.path() + "/Larkspur/Chromaport.conf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    QVERIFY(stored.contains("[Image%20Folders]"));
    QVERIFY(stored.contains("Source%20Path=/photos/in/"));
    QVERIFY(stored.contains("Destination%20Path=/photos/prints/"));
}

void SettingsTest::colorFolderFollowsTheXdgDirectories() {
    fx::TempDir temp;
    const std::string home = temp.mkdir("home");
    const std::string shared = temp.mkdir("shared");
    QVERIFY(QDir().mkpath(QString::fromStdString(shared + "/color/icc")));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home));
    qputenv("XDG_DATA_DIRS",
            QByteArray::fromStdString("relative/dir:" + temp.path() + "/none:" + shared));
    QCOMPARE(GetColorDirectory(), shared + "/color/icc");

    QVERIFY(QDir().mkpath(QString::fromStdString(home + "/icc")));
    QCOMPARE(GetColorDirectory(), home + "/icc");

    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(temp.path() + "/nothing"));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(temp.path() + "/none"));
    QCOMPARE(GetColorDirectory(), std::string());
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
