#pragma once
#include "common/Progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class DatabaseSession;
struct WorkingFolders;
class Messages;

// Removal of records that share a value in one column: "Doppelte E-Mail-Adressen
// löschen" on the mail column and "Selektives Löschen doppelter Datensätze" on a
// column the user picks. Detection works on the in-memory key list; each group is then
// selected from the table by a bound, case-insensitive condition.
namespace Duplicates {

enum class Tool { Mail, Selective };
enum class Action { Delete, Mark };
enum class KeepRule { Oldest, Newest };

// The answer of the choice dialog.
struct Choice {
    bool proceed = false;
    Action action = Action::Delete;
    KeepRule keep = KeepRule::Oldest;
};
using ChooseFn = std::function<Choice()>;

// Key of a value: trimmed, with the letters A-Z lowered (other letters stay).
QString keyOf(const QString& value);
// Every non-empty key occurring more than once, each once, in the order of its first
// occurrence. Progress once per key.
QStringList duplicateKeys(const QStringList& keys, const ProgressFn& progress = {});

// "Dubletten1.txt" in SystemTempFolder, and "Dubletten_Ergebnis.txt" in TempFolder
// (mail tool) or SystemTempFolder (selective tool).
QString keyListPath(const WorkingFolders& folders);
QString resultListPath(const WorkingFolders& folders, Tool tool);

// Runs a tool: collects the keys of the current table's column (the mail column, or
// fieldName for the selective tool), writes both lists, asks choose, and deletes or
// marks the groups, closing with the final message. Returns the number of duplicate
// values handled; -1 when the run stopped before (no table, the choice was not to
// proceed, a list could not be written).
qint64 run(const WorkingFolders& folders, DatabaseSession& session, Tool tool,
           const QString& fieldName, const ChooseFn& choose, Messages& messages,
           const Progress& feedback);

} // namespace Duplicates
