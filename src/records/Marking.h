#pragma once
#include "common/Progress.h"

#include <QString>

class AddressTable;

// The marking commands of the main window. Each runs as batched set operations on
// the table, writes its progress text ("Markieren: 5000 von 100000") through status
// and clears it at the end. All do nothing when no table is open.
namespace Marking {

// Marks every record of the current view; any filter stays, the cursor stays.
qint64 markAll(AddressTable* table, const Progress& status = {});
// Switches the filter off and clears it, then unmarks every record of the table.
qint64 unmarkAll(AddressTable* table, const Progress& status = {});
// Switches the filter off and clears it, then marks the records with
// low <= ID <= high; the others stay as they were. The cursor goes to the first record.
qint64 markIdRange(AddressTable* table, qint64 low, qint64 high, const Progress& status = {});
// Parses the two fields of the ID range dialog (blanks allowed, up to 11 digits).
// Returns false with a German message when a field is empty or no number.
bool parseIdRange(const QString& startText, const QString& endText, qint64* low, qint64* high,
                  QString* error);
// Marks the records from the current one to the end of the view that hold text in
// some field, case ignored.
qint64 markByText(AddressTable* table, const QString& text, const Progress& status = {});
// Switches the filter off and clears it, then sets Invalid false on every record.
qint64 resetInvalid(AddressTable* table, const Progress& status = {});
// Number of marked records of the whole table; the view is not touched.
qint64 countMarked(const AddressTable* table);

} // namespace Marking
