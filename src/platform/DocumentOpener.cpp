#include "platform/DocumentOpener.h"

#include "common/Messages.h"

#include <QDir>
#include <QFileInfo>

namespace {
NullDocumentOpener g_null;
DocumentOpener* g_current = &g_null;

bool hasScheme(const QString& target, const char* scheme) {
    return target.startsWith(QLatin1String(scheme), Qt::CaseInsensitive);
}
} // namespace

DocumentOpener& DocumentOpener::instance() {
    return *g_current;
}

void DocumentOpener::install(DocumentOpener* opener) {
    g_current = opener ? opener : &g_null;
}

namespace Documents {

QUrl targetUrl(const QString& target) {
    const QString t = target.trimmed();
    if (hasScheme(t, "http://") || hasScheme(t, "https://") || hasScheme(t, "mailto:") ||
        hasScheme(t, "file:"))
        return QUrl(t, QUrl::TolerantMode);
    return QUrl::fromLocalFile(QDir::cleanPath(t));
}

bool open(const QString& target, DocumentOpener& opener) {
    return open(targetUrl(target), opener);
}

bool open(const QUrl& url, DocumentOpener& opener) {
    if (!url.isValid() || url.isEmpty())
        return false;
    if (opener.openUrl(url))
        return true;
    // The browser gets the complete address as one argument (a local file as a file:
    // URL); it is handed over as an argument, never through a shell.
    const QString argument = url.toString(QUrl::FullyEncoded);
    if (opener.startBrowser(argument))
        return true;
    return opener.openUrl(QUrl(argument));
}

QString noProgramMessage(const QUrl& url) {
    QString what;
    if (url.scheme() == QLatin1String("mailto"))
        what = QStringLiteral("E-Mail-Adressen (") + url.toString() + QChar(')');
    else if (url.isLocalFile())
        what = QChar('"') + QDir::toNativeSeparators(url.toLocalFile()) + QChar('"');
    else
        what = QStringLiteral("Internetseiten (") + url.toString() + QChar(')');
    return QStringLiteral("Es ist kein Programm zum Öffnen von ") + what +
           QStringLiteral(" eingerichtet.");
}

bool openOrReport(const QUrl& url, Messages& messages, DocumentOpener& opener) {
    if (open(url, opener))
        return true;
    messages.error(noProgramMessage(url));
    return false;
}

bool openHelpPage(const QString& helpFolder, const QString& page, Messages& messages,
                  DocumentOpener& opener) {
    const QString path = QDir(helpFolder).filePath(page);
    if (!QFileInfo(path).isFile()) {
        messages.error(QStringLiteral("Die Hilfeseite ") + QDir::toNativeSeparators(path) +
                       QStringLiteral(" wurde nicht gefunden!"));
        return false;
    }
    if (open(path, opener))
        return true;
    messages.error(QStringLiteral("Die Hilfeseite ") + QDir::toNativeSeparators(path) +
                   QStringLiteral(" konnte nicht geöffnet werden!"));
    return false;
}

} // namespace Documents
