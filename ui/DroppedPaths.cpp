#include "DroppedPaths.h"

#include <QMimeData>
#include <QString>
#include <QUrl>

namespace {

// Some sources give a "file://" address as plain text only.
QList<QUrl> DraggedUrls(const QMimeData& data) {
    if (data.hasUrls()) {
        return data.urls();
    }
    const QString text = data.text().trimmed();
    if (text.startsWith(QLatin1String("file://")) && !text.contains(QLatin1Char('\n'))) {
        return {QUrl(text)};
    }
    return {};
}

bool HasExtension(const std::string& path, std::initializer_list<const char*> extensions) {
    const QString name = QString::fromStdString(path);
    for (const char* extension : extensions) {
        if (name.endsWith(QLatin1String(extension), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<std::string> DroppedLocalPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    for (const QUrl& url : DraggedUrls(data)) {
        // A file on another machine ("file://host/...") is no path here.
        if (!url.isLocalFile() || !url.host().isEmpty()) {
            return {};
        }
        paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

bool IsTiffName(const std::string& path) {
    return HasExtension(path, {".tif", ".tiff"});
}

bool IsProfileName(const std::string& path) {
    return HasExtension(path, {".icc", ".icm"});
}
