#pragma once
#include "common/Progress.h"

#include <QObject>

class AppState;
class QWidget;
class TImportForm;
class TOutlookImportForm;
class TWMImport;
class TWabForm;
class TWizardImportForm;

// The import entry of the main menu: the wizard and the import window, created once
// and kept between openings. The main window sets status (progress texts for the first
// panel of the status bar, empty clears).
class ImportActions : public QObject {
    Q_OBJECT
public:
    ImportActions(AppState& state, QWidget* parent);

    // "Datensätze importieren".
    void start();

    Progress status;

    TWizardImportForm* wizardForm() const { return m_wizard; }
    TImportForm* importForm() const { return m_import; }
    TOutlookImportForm* outlookForm() const { return m_outlook; }
    TWabForm* wabForm() const { return m_wab; }
    TWMImport* windowsMailForm() const { return m_windowsMail; }

private:
    AppState& m_state;
    TWizardImportForm* m_wizard = nullptr;
    TImportForm* m_import = nullptr;
    TOutlookImportForm* m_outlook = nullptr;
    TWabForm* m_wab = nullptr;
    TWMImport* m_windowsMail = nullptr;
};
