#include "web/forms/WebSyncActions.h"

#include "shell/AppState.h"
#include "web/forms/TEnterpriseLinksForm.h"
#include "web/forms/TMehrplatzForm.h"
#include "web/forms/TStatsForm.h"
#include "web/forms/TSuscribeForm.h"

#include <QAction>
#include <QMainWindow>

WebSyncActions::WebSyncActions(AppState& state, QMainWindow* mainWindow) : QObject(mainWindow) {
    m_suscribe = new TSuscribeForm(state, mainWindow);
    m_stats = new TStatsForm(state, mainWindow);
    m_links = new TEnterpriseLinksForm(state, mainWindow);
    m_mehrplatz = new TMehrplatzForm(state.folders.programFolder, mainWindow);
    auto on = [mainWindow, this](const char* name, auto handler) {
        if (auto* a = mainWindow->findChild<QAction*>(QLatin1String(name)))
            connect(a, &QAction::triggered, this, handler);
    };
    on("NeueEintrageabholen1", [this] { m_suscribe->run(); });
    on("Links1", [this] { m_links->run(); });
    on("Newsletterstatistikeinrichten1", [this] { m_stats->run(); });
    on("BetriebsanleitungMehrplatzversion1", [this] { m_mehrplatz->exec(); });
}
