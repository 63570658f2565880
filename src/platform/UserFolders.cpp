#include "platform/UserFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString slashed(const QString& path) {
    if (path.isEmpty() || path.endsWith(QChar('/')))
        return path;
    return path + QChar('/');
}
} // namespace

namespace UserFolders {

QString documentsFolder() {
    return slashed(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString appDataFolder() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (path.isEmpty())
        return {};
    QDir().mkpath(path);
    return slashed(QDir::cleanPath(path));
}

QString systemTempFolder() {
    return slashed(QDir::tempPath());
}

} // namespace UserFolders
