#include "settings/forms/DesktopDocumentOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

bool DesktopDocumentOpener::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool DesktopDocumentOpener::startBrowser(const QString& argument) {
    // The browser the user named in $BROWSER wins; then the desktop's registered one.
    QStringList candidates;
    const QString configured = qEnvironmentVariable("BROWSER").trimmed();
    if (!configured.isEmpty())
        candidates << configured;
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    candidates << QStringLiteral("x-www-browser") << QStringLiteral("sensible-browser");
#endif
    for (const QString& name : candidates) {
        const QString program = QStandardPaths::findExecutable(name);
        // One argument, no shell: nothing in the address is ever interpreted.
        if (!program.isEmpty() && QProcess::startDetached(program, {argument}))
            return true;
    }
    return false;
}
