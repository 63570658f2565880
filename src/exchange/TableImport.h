#pragma once
#include "common/Progress.h"
#include "exchange/ImportOptions.h"

#include <QString>

class AddressTable;
class Messages;

// Appends one record per record of the dBase (.dbf) or Paradox (.db) table file:
// source record k fills new record k, each target field with column n >= 1 the text of
// the n-th source column. A file the library refuses: "Ungültiges Datenbankformat!".
// Shows "Import: k von n" after each batch. Returns true when every record was imported;
// a failure is shown and keeps what was imported before it.
bool ImportDataBase(const QString& path, const ImportOptions& options, AddressTable* table,
                    Messages& messages, const Progress& progress, qint64* imported = nullptr);
