#pragma once
#include "database/TableStore.h"

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

// Whole-column reads and group conditions for the set operations of the hygiene
// tools. A column is read in one pass over the table instead of one query per
// record, which keeps a million records within a second or two.
namespace ColumnScan {

// The text a user sees in the column for each of the given records, in the order of
// ids ("" for an empty value or a record that no longer exists). Reports progress as
// records are matched.
QStringList texts(const TableStore& table, int column, const std::vector<qint64>& ids,
                  const ProgressFn& progress = {});

// Condition "the column's text equals one of values", ignoring case the way the
// table's filters do. The values are bound as parameters; on a text column the
// comparison can use the column's index.
RecordCondition equalsAnyIgnoringCase(const TableStore& table, int column,
                                      const QStringList& values);

// Finds the records of such groups one after another, keeping its prepared
// statements, so tens of thousands of groups cost one lookup each.
class GroupFinder {
public:
    GroupFinder(const TableStore& table, int column);
    ~GroupFinder();
    GroupFinder(const GroupFinder&) = delete;
    GroupFinder& operator=(const GroupFinder&) = delete;

    // Ids (ascending) of the records matching equalsAnyIgnoringCase(values).
    std::vector<qint64> ids(const QStringList& values);

private:
    const TableStore& m_table;
    int m_column;
    std::map<qsizetype, sqlite3_stmt*> m_statements; // by number of values
};

} // namespace ColumnScan
