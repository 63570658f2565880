#pragma once
#include "database/forms/TSelectDatabaseForm.h"

#include <QObject>

class DatabaseSession;
class QWidget;
class TNewDatabaseForm;

// The database entries of the main menu: open, create, delete, maintain. The two
// dialogs are created once and keep their state between openings.
class DatabaseDialogs : public QObject {
    Q_OBJECT
public:
    DatabaseDialogs(DatabaseSession& session, QWidget* parent);

    void openViaDialog();   // "Datenbank öffnen" (F12), "DB öffnen (F12)"
    void createViaDialog(); // "Neue frei definierbare Datenbank erzeugen"
    void deleteViaDialog(); // "Datenbank löschen"
    void maintain();        // "Datenbank Wartung/Reparatur"

    TSelectDatabaseForm* selectForm() const { return m_selectForm; }
    TNewDatabaseForm* newForm() const { return m_newForm; }

private:
    QString pick(TSelectDatabaseForm::Mode mode);

    DatabaseSession& m_session;
    TSelectDatabaseForm* m_selectForm = nullptr;
    TNewDatabaseForm* m_newForm = nullptr;
};
