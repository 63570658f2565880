#pragma once
#include "common/Progress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TableStore;

// One column of an export: the table field and the title written above it.
struct ExportColumn {
    int field = -1;
    QString title;
};

// Reads the text a user sees in chosen fields of a list of records, in the list's order
// (a view's order and filter), batch by batch, so a million records never sit in memory
// at once and each batch costs one statement.
class ExportRows {
public:
    ExportRows(const TableStore& store, QList<int> fields);

    // Calls row with one text per field for each record of ids, in order; row returns
    // false to stop. False with a German message when the table cannot be read.
    bool read(const std::vector<qint64>& ids, const std::function<bool(const QStringList&)>& row,
              const ProgressFn& progress = {}, QString* error = nullptr) const;

private:
    const TableStore& m_store;
    QList<int> m_fields;
};

// The index of the last field whose upper-cased name contains "SELECTED"; -1 when none.
int SelectionColumn(const TableStore& store);
// Whether the shown text of that field means "marked".
bool IsMarkedText(const TableStore& store, int field, const QString& text);
