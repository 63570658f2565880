#pragma once
#include "common/Progress.h"

#include <QObject>
#include <functional>

class AppState;
class QWidget;
class TBouncesForm;
class TDeleteAdressesWizardForm;
class TSelectiveDuplicateForm;

// The address hygiene entries of the main menu. The dialogs are created once and
// keep their state between openings. The main window sets status (progress texts
// for the first panel of the status bar, empty clears).
class HygieneActions : public QObject {
    Q_OBJECT
public:
    HygieneActions(AppState& state, QWidget* parent);

    void checkAddresses();       // "E-Mail-Adressen auf Gültigkeit überprüfen"
    void deleteDuplicateMails(); // "Doppelte E-Mail-Adressen löschen"
    void selectiveDuplicates();  // "Selektives Löschen doppelter Datensätze"
    void deleteAllMarked();      // "Alle markierten Datensätze löschen", "markierte löschen"
    void emptyDatabase();        // "Datenbank komplett leeren"
    void deleteAllInvalid();     // "Alle invaliden Datensätze löschen"
    void evaluateBounces();      // "Unzustellbare E-Mails (Rückläufer) auswerten"

    Progress status;

    TDeleteAdressesWizardForm* wizardForm() const { return m_wizard; }
    TSelectiveDuplicateForm* selectiveForm() const { return m_selective; }
    TBouncesForm* bouncesForm() const { return m_bounces; }

private:
    Progress feedback() const;

    AppState& m_state;
    TDeleteAdressesWizardForm* m_wizard = nullptr;
    TSelectiveDuplicateForm* m_selective = nullptr;
    TBouncesForm* m_bounces = nullptr;
};
