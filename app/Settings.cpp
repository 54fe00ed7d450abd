#include "Settings.h"

#include "AppNames.h"

#include <QSettings>

#include <memory>

namespace {

QString Key(const std::string& section, const std::string& entry) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(entry);
}

// Opened afresh for every call and written back when closed, so another
// instance of the program sees a value as soon as it has been stored.
std::unique_ptr<QSettings> OpenUserSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromLatin1(app::kOrganisation),
                                       QString::fromLatin1(app::kAppName));
}

} // namespace

std::string ReadSetting(const std::string& section, const std::string& entry) {
    return OpenUserSettings()->value(Key(section, entry)).toString().toStdString();
}

bool WriteSetting(const std::string& section, const std::string& entry, const std::string& value) {
    OpenUserSettings()->setValue(Key(section, entry), QString::fromStdString(value));
    return true;
}
