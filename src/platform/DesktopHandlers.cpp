#include "platform/DesktopHandlers.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace DesktopHandlers {

std::optional<bool> hasHandler(const QUrl& url) {
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    // The freedesktop.org registry answers through xdg-mime, which is what xdg-open
    // consults; xdg-open itself reports success as soon as it has started.
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return std::nullopt;
    const QString type = url.isLocalFile()
                             ? QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name()
                             : QStringLiteral("x-scheme-handler/") + url.scheme().toLower();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        query.kill();
        return std::nullopt;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(url);
    return std::nullopt;
#endif
}

QString browserProgram() {
    QStringList candidates = qEnvironmentVariable("BROWSER").split(QChar(':'), Qt::SkipEmptyParts);
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    // Debian's alternatives; "sensible-browser" is left out, it starts and then fails.
    candidates << QStringLiteral("x-www-browser") << QStringLiteral("gnome-www-browser");
#endif
    for (const QString& name : candidates) {
        const QString program = QStandardPaths::findExecutable(name.trimmed());
        if (!program.isEmpty())
            return program;
    }
    return {};
}

} // namespace DesktopHandlers
