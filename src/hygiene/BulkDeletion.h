#pragma once
#include "common/Progress.h"

#include <QString>

class AddressTable;
class DatabaseSession;
class Messages;

// The bulk deletions of the "Löschen" menu: all marked records, all invalid records,
// and emptying the whole database. There is no undo; deleted batches stay deleted
// when a later batch fails.
namespace BulkDeletion {

// Deletes every record of the table whose boolean column flagField is true, whatever
// filter is active: the filter is switched off (its expression kept) and the table
// stands on its first record afterwards. Progress "Delete: " + count. Returns the
// number deleted, -1 on failure with a German message in *error.
qint64 deleteByFlag(AddressTable* table, const QString& flagField, const Progress& feedback,
                    QString* error = nullptr);

// "Alle markierten Datensätze löschen" and "Alle invaliden Datensätze löschen": ask
// first, then delete by Selected resp. Invalid. False when nothing was done.
bool deleteAllMarked(DatabaseSession& session, Messages& messages, const Progress& feedback);
bool deleteAllInvalid(DatabaseSession& session, Messages& messages, const Progress& feedback);

// "Datenbank komplett leeren": after two confirmations the current table file and the
// database's grid layout file are deleted and the database is opened again, which
// creates the table anew, empty, from its field definitions.
bool emptyDatabase(DatabaseSession& session, Messages& messages, const Progress& feedback);

} // namespace BulkDeletion
