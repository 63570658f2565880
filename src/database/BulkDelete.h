#pragma once
#include "database/AddressTable.h"

#include <QString>
#include <vector>

// Deletes many records of a table at once. Removing a large share of a big table
// record by record costs one entry in every index per record; beyond a threshold the
// secondary indexes are dropped, the records deleted and the indexes built anew, all
// in one transaction, which is several times faster and leaves the table exactly as
// the plain way would. Smaller deletions use the table's batched deletion. The view
// is re-read afterwards. Returns the number deleted, -1 on failure (nothing of a
// one-transaction deletion is kept then) with a German message in *error.
qint64 DeleteManyRecords(AddressTable& table, const std::vector<qint64>& ids,
                         const ProgressFn& progress = {}, QString* error = nullptr);
