#pragma once
#include <QObject>
#include <QString>

class QLineEdit;
class DatabaseSession;

namespace WebForms {

// "Öffnen Sie zuerst eine Datenbank!" when no database is open; false then.
bool requireDatabase(const DatabaseSession& session);

// Where the web files are prepared: "online" in the program folder when it can be
// written, else a folder the user picks ("Ausgabeverzeichnis auswählen"); empty when
// the pick was cancelled. Ends with "/".
QString outputBase(const QString& programFolder);

// Lets only letters, digits and backspace be typed into the edit; any other key shows
// "Bitte geben Sie nur Buchstaben und Zahlen ein!" and is dropped.
void acceptLettersAndDigitsOnly(QLineEdit* edit);

} // namespace WebForms
