#pragma once
#include "common/Progress.h"
#include "exchange/ImportOptions.h"

#include <QString>
#include <QStringList>

class AddressTable;
class DatabaseSession;
class Messages;

// "Starte Import" without the window: the table file import for ".db" and ".dbf",
// the text import for anything else; then the mapping file is written (also when
// nothing was imported) and the current table closed, opened again and refreshed, back
// on the record that was current, with its filter and order.
namespace ImportRun {

// True for the extensions of the table file import (".DB", ".DBF", case ignored).
bool isTableFile(const QString& path);

// The first entry of columnTexts that is no whole number >= 0, or -1 when all are.
int firstInvalidColumn(const QStringList& columnTexts);
// "Im Feld "<caption>" steht keine Spaltennummer ..." for the window to show.
QString invalidColumnText(const QString& caption, const QString& typed);

// Runs the import into the session's current table. columnTexts are the number boxes
// as typed (written to the mapping file); options.columns their values. Returns true
// when the import ran to its end; *imported receives the number of new records.
bool start(DatabaseSession& session, const QString& path, const ImportOptions& options,
           const QStringList& columnTexts, Messages& messages, const Progress& progress,
           qint64* imported = nullptr);

// Appends one marked record per row: fields[k] gets rows[r][k], trimmed if so asked (an empty
// field name takes nothing). The progress shows "Import: r von n". Failures are shown;
// returns true when every row was stored, *imported receives how many were.
bool appendRows(AddressTable* table, const QStringList& fields, const QList<QStringList>& rows,
                Messages& messages, const Progress& progress, bool trim = true,
                qint64* imported = nullptr);

// The end of every import: the current table closed and opened again, so every view
// reads it afresh, with the grid's filter and order, back on the record current before.
bool reopenTable(DatabaseSession& session, qint64 current, Messages& messages);

} // namespace ImportRun
