#pragma once
#include "common/Progress.h"
#include "database/DatabaseDefinition.h"
#include "database/TableStore.h"

#include <QList>
#include <QPair>
#include <QString>
#include <vector>

class AddressTable;

// The transfer of records from another database of the catalogue into the open table:
// positions 2 to 9 are copied position by position, then every mapped field.
namespace Transfer {

// The field definitions of a database from the ninth on (the first eight are the core
// columns), read from the .pro file of its table (DataFolder + definition base name).
bool mappableFields(const QString& dataFolder, const QString& definitionName,
                    QList<FieldDefinition>* fields, QString* error);

// The table file of a database: DataFolder + definition base name + ".DB", in any case.
QString tablePath(const QString& dataFolder, const QString& definitionName);

// One run: the source table opened, the records to copy chosen, then copied.
class Run {
public:
    // Opens the source table; with onlyMarked only the records whose Selected is true.
    bool open(const QString& dataFolder, const QString& definitionName, bool onlyMarked,
              QString* error);
    void close() { m_source.close(); }
    qint64 count() const { return qint64(m_ids.size()); }

    // Appends the chosen records to target in committed batches. mapping holds pairs of
    // target and source field names. A value that does not fit its target field stays
    // empty and is counted in *unfit. Returns the number of records appended, -1 on a
    // failure (the records of finished batches stay).
    qint64 copyInto(AddressTable& target, const QList<QPair<QString, QString>>& mapping,
                    const ProgressFn& progress, qint64* unfit, QString* error);

private:
    TableStore m_source;
    std::vector<qint64> m_ids;
};

} // namespace Transfer
