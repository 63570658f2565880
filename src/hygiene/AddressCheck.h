#pragma once
#include "common/Progress.h"

class AddressTable;
class Messages;

// "E-Mail-Adressen auf Gültigkeit überprüfen": judges the Mail text of every record
// by IsValidEmailAddress, sets Invalid to the result on all of them (a send failure
// flagged before included), reports the count and, on request, deletes the invalid
// records. Runs as set operations over the table; the progress texts follow the
// record loop a user knows ("Unmarkieren: ", "Checkmail: ", "Delete: ").
namespace AddressCheck {

// Clears the filter and switches it off, resets Invalid everywhere and sets it on
// each record whose address fails the rule. The table stands unfiltered on its first
// record afterwards. Returns the number of invalid records; -1 when the table has no
// Mail column (nothing is changed then).
qint64 markInvalidAddresses(AddressTable* table, const Progress& feedback);

// The whole menu entry: marks, reports, asks and deletes. Does nothing without an
// open table.
void run(AddressTable* table, Messages& messages, const Progress& feedback);

} // namespace AddressCheck
