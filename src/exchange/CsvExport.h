#pragma once
#include "common/Progress.h"

#include <QList>
#include <QString>

class AddressTable;
struct TableDefinition;

// What the CSV window hands to the export.
struct CsvExportOptions {
    QList<int> fields;                       // ticked columns, in table order
    QString delimiter = QStringLiteral(";"); // used as typed, may be several characters
    bool header = true;
    bool onlyMarked = false;
    bool trim = false;
};

namespace CsvExport {

// Column width of the padded layout: the field's declared size plus 10.
int columnWidth(const TableDefinition& definition, const QString& fieldName);

// Writes the records of the table's current view (with onlyMarked those of them that are
// marked, when the table has a selection column) to path: an optional header line of
// the padded field names, then one line per record, every value followed by the
// delimiter, unquoted; values padded to the column width unless trim. Written through
// the text-file module, so no character is lost; a failed write leaves no file behind.
// Does not move the table's cursor nor change its filter. False with a German message.
bool write(const AddressTable& table, const TableDefinition& definition,
           const CsvExportOptions& options, const QString& path, const Progress& progress,
           QString* error);

} // namespace CsvExport
