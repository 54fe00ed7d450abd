#include "UiTestSupport.h"

#include <QDir>
#include <QSettings>
#include <QTest>

UiSandbox::UiSandbox() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       m_dir.filePath(QStringLiteral("config")));
    QDir(m_dir.path()).mkpath(QStringLiteral("data/icc"));
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    qputenv("HOME", m_dir.filePath(QStringLiteral("home")).toUtf8());
}

std::string UiSandbox::ColorFolder() const {
    return m_dir.filePath(QStringLiteral("data/icc")).toStdString();
}

QString UiSandbox::SettingsFile() const {
    return m_dir.filePath(QStringLiteral("config/Larkspur/Chromaport.conf"));
}

void MainWindow::Click(const char* buttonName) const {
    QTest::mouseClick(Button(buttonName), Qt::LeftButton);
}

void MainWindow::Fill(const std::string& source, const std::string& sourceProfile,
                      const std::string& dest, const std::string& destProfile) const {
    Edit("sourceImageEdit")->setText(QString::fromStdString(source));
    Edit("sourceProfileEdit")->setText(QString::fromStdString(sourceProfile));
    Edit("destImageEdit")->setText(QString::fromStdString(dest));
    Edit("destProfileEdit")->setText(QString::fromStdString(destProfile));
}

std::vector<std::string> MainWindow::Texts() const {
    std::vector<std::string> texts;
    for (const auto& shown : boxes.shown) {
        texts.push_back(shown.text);
    }
    return texts;
}
