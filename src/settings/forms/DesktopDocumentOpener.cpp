#include "settings/forms/DesktopDocumentOpener.h"

#include "platform/DesktopHandlers.h"

#include <QDesktopServices>
#include <QProcess>

bool DesktopDocumentOpener::openUrl(const QUrl& url) {
    // The desktop's launcher reports success as soon as it has started, also when it
    // then finds no program; a registry that knows of none settles it beforehand.
    if (DesktopHandlers::hasHandler(url) == false)
        return false;
    return QDesktopServices::openUrl(url);
}

bool DesktopDocumentOpener::startBrowser(const QString& argument) {
    const QString program = DesktopHandlers::browserProgram();
    // One argument, no shell: nothing in the address is ever interpreted.
    return !program.isEmpty() && QProcess::startDetached(program, {argument});
}
