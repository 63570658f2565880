#pragma once
#include "common/Progress.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

class DatabaseSession;
struct TableDefinition;
class Messages;

// Record editing of the main window's dialogs: the generated record editor's rows, the
// list of known addresses and the duplicate check for new records, saving and deleting
// the current record, and setting one column in many records.

// The file holding the Mail texts of the current view, one per line.
inline const QString kExistingAddressesFile = QStringLiteral("SchonInDB.list");

// Writes ProgramFolder + "SchonInDB.list": the Mail text of every record of the
// current view, first to last. The records are read in batches, not through the cursor.
bool WriteExistingAddresses(const DatabaseSession& session, QString* error = nullptr);

// The duplicate check for a new record with this Mail text: for every line of
// ProgramFolder + "SchonInDB.list" that contains it (case ignored) the user is asked
// whether to add the record anyway; the last answer decides. True when the record may
// be saved. A new record without a Mail text is not checked.
bool DuplicateCheckAccepts(const QString& programFolder, const QString& mail, Messages& messages);

// One row of the record editor, from a .pro line after the header.
struct EditorRow {
    enum class Kind { Combo, Edit, Check };
    QString fieldName; // word 1
    QString caption;   // word 9, the field name when empty
    QString typeName;  // word 2
    Kind kind = Kind::Edit;
    QStringList choices; // Combo: the keys of the .cb entry
    bool hidden = false; // names containing "ID" (exact case) and "ARCHIVE"
    int y = 0;           // (n - 1) * rowHeight for row n counted from 1

    static constexpr int rowHeight = 20;
    static constexpr int labelX = 20;
    static constexpr int controlX = 120;
    static constexpr int width = 250;
};

QList<EditorRow> EditorRows(const TableDefinition& definition);

// Field name and text of every control of the editor that is written to the record.
using FieldValues = QList<QPair<QString, QString>>;

enum class SaveOutcome {
    Saved,     // posted
    Unchanged, // an existing record whose values did not change: nothing to post
    Refused,   // the duplicate check said no: nothing written
    Failed     // the engine refused a value or the post; reported, nothing written
};

// Writes the values into a new record (isNew) or the current record and posts it; a new
// record first passes the duplicate check when CheckDuplicatesOnInput is on. Afterwards
// the table is refreshed and the saved record is current again. Every failure is
// reported through messages and leaves the table as it was.
SaveOutcome SaveRecord(DatabaseSession& session, bool isNew, const FieldValues& values,
                       bool checkDuplicatesOnInput, Messages& messages);

// Asks "Datensatz wirklich löschen?" and on "Ja" deletes the current record. True when a
// record was deleted.
bool DeleteCurrentRecord(DatabaseSession& session, Messages& messages);

// Sets the column to the value (an empty value empties it) in every record of the table
// or, with onlyMarked, in every marked record. The filter is switched off and cleared
// first and the first record becomes current. Runs as batched set operations; status
// gets "Spaltenbearbeitung: " + done + " von " + record count and finally an empty text.
// A value the column cannot hold is reported and nothing is changed. True on success.
bool SetColumnContent(DatabaseSession& session, const QString& fieldName, const QString& value,
                      bool onlyMarked, const Progress& status, Messages& messages);
