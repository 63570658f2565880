#pragma once
#include <QObject>

class AppState;
class QMainWindow;
class TEnterpriseLinksForm;
class TMehrplatzForm;
class TStatsForm;
class TSuscribeForm;

// The entries of "Web u. Newsletter" and "Mehrplatz" for fetching, tracking, the web
// links and the multi-user page: their windows are made once and reused, and each
// entry (found by its name in the main window's menu) opens its window.
class WebSyncActions : public QObject {
    Q_OBJECT
public:
    WebSyncActions(AppState& state, QMainWindow* mainWindow);

    TSuscribeForm* suscribeForm() const { return m_suscribe; }
    TStatsForm* statsForm() const { return m_stats; }
    TEnterpriseLinksForm* linksForm() const { return m_links; }
    TMehrplatzForm* mehrplatzForm() const { return m_mehrplatz; }

private:
    TSuscribeForm* m_suscribe = nullptr;
    TStatsForm* m_stats = nullptr;
    TEnterpriseLinksForm* m_links = nullptr;
    TMehrplatzForm* m_mehrplatz = nullptr;
};
