#include "shell/forms/HelpPage.h"

#include "common/Messages.h"
#include "shell/AppState.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

void OpenHelpPage(const AppState& state) {
    const QString page = state.folders.helpFolder + QStringLiteral("help.html");
    if (!QFileInfo::exists(page)) {
        Messages::instance().error(QStringLiteral("Die Hilfedatei ") +
                                   QDir::toNativeSeparators(page) +
                                   QStringLiteral(" wurde nicht gefunden!"));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}
