#include "cli/CommandLine.h"
#include "common/FilePicker.h"
#include "common/Messages.h"
#include "platform/DocumentOpener.h"
#include "platform/LocalTime.h"
#include "platform/QtTranslations.h"
#include "platform/SingleInstance.h"
#include "settings/forms/DesktopDocumentOpener.h"
#include "shell/AppState.h"
#include "shell/Startup.h"
#include "shell/forms/QtFilePicker.h"
#include "shell/forms/QtMessages.h"
#include "shell/forms/TMainForm.h"
#include "shell/forms/WindowFit.h"

#include <QApplication>
#include <QTimer>

// Without arguments the window; with arguments the command line, which needs no display.
int main(int argc, char** argv) {
    SettleLocalTimeZone();
    if (argc > 1)
        return CommandLine::main(argc, argv);
    // The browser views share their graphics context with the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(Startup::productName());
    QApplication::setOrganizationName(QStringLiteral("NORVALE"));
    QApplication::setApplicationVersion(Startup::productVersion());
    QApplication::setApplicationDisplayName(Startup::productName());
    // Standard dialogs speak German like the rest of the program; without the
    // translation files they fall back to Qt's English texts.
    InstallGermanQtTranslations(app);
    // Every window opens fully on its screen, title bar included.
    WindowFit::install(app);

    QtMessages messages;
    Messages::install(&messages);
    QtFilePicker picker;
    FilePicker::install(&picker);
    DesktopDocumentOpener opener;
    DocumentOpener::install(&opener);

    // One instance per machine; the lock lives as long as this object.
    SingleInstance instance;
    if (!instance.acquire()) {
        messages.information(QString::fromUtf8(
            "Quillon ist bereits gestartet!\rBitte wechseln Sie in der Taskleiste zum Programm "
            "\"Quillon\"\rApplication already running!"));
        return 0;
    }

    // The program's state lives here, apart from every window: the main window shows it.
    // Start-up ends the program when another user holds the data.
    AppState state;
    int result = 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (Startup::run(state, messages)) {
        TMainForm mainForm(state);
        QApplication::restoreOverrideCursor();
        mainForm.show();
        // A first start offers the account settings once the window is up.
        QTimer::singleShot(0, &mainForm, &TMainForm::offerFirstSettings);
        result = app.exec();
    } else {
        QApplication::restoreOverrideCursor();
    }
    Messages::install(nullptr);
    FilePicker::install(nullptr);
    DocumentOpener::install(nullptr);
    return result;
}
