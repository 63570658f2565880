#include "shell/forms/HelpPage.h"

#include "common/Messages.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"

void OpenHelpPage(const AppState& state) {
    Documents::openHelpPage(state.folders.helpFolder, QStringLiteral("help.html"),
                            Messages::instance());
}
